// Expected-target lookups of the mapping test on a large rules file: 10,000 exact rules after
// 1,000 wildcard rules, the worst order, since every exact hit first tries every wildcard above it.
#include <chrono>
#include <cstdio>
#include <string>

#include "input/MappingRules.h"

using namespace tallyvane;

int main() {
  constexpr int kWildcards = 1000, kExact = 10000, kLookups = 100000;
  std::string rules;
  for (int i = 0; i < kWildcards; ++i) {
    rules += "https://old.example/category-" + std::to_string(i) + "/{} https://new.example/c/" + std::to_string(i) +
             "/{1}\n";
  }
  for (int i = 0; i < kExact; ++i) {
    rules += "https://old.example/page-" + std::to_string(i) + ".html https://new.example/p/" + std::to_string(i) + "\n";
  }
  const auto loadStart = std::chrono::steady_clock::now();
  auto parsed = MappingTable::parse(rules);
  const double loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
  const MappingTable& table = std::get<MappingTable>(parsed);

  size_t found = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLookups; ++i) {
    const std::string url = i % 2 == 0 ? "https://old.example/page-" + std::to_string(i % kExact) + ".html"
                                       : "https://old.example/category-" + std::to_string(i % kWildcards) + "/post";
    found += table.expectedTarget(url).has_value() ? 1 : 0;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("rules: %d wildcard + %d exact, loaded in %.3f s\n", kWildcards, kExact, loadSeconds);
  std::printf("lookups: %d (%zu found) in %.3f s: %.0f lookups/s, %.1f us each (one thread)\n", kLookups, found,
              seconds, kLookups / seconds, seconds * 1e6 / kLookups);
  return found == kLookups ? 0 : 1;
}
