// Result store figures on synthetic crawl results: add rate, duplicate-lookup rate, and resident
// memory per record beside the text bytes each record holds.
//   store_bench [RECORDS]   (default 1,000,000)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/SyntheticResults.h"
#include "results/ResultStore.h"

using namespace tallyvane;
using Clock = std::chrono::steady_clock;

namespace {

size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Returns false when a lookup gave a wrong answer.
bool runScenario(size_t records, size_t redirectEvery) {
  constexpr size_t kBatch = 1000;
  std::vector<std::vector<HopRecord>> batch(kBatch, std::vector<HopRecord>(kHopsPerChain));
  ResultStore store;
  FatalErrorSlot fatal;

  const size_t residentBefore = residentBytes();
  size_t textBytes = 0;
  double addSeconds = 0;
  for (size_t base = 0; base < records; base += kBatch) {
    const size_t n = std::min(kBatch, records - base);
    for (size_t j = 0; j < n; ++j) textBytes += bench::syntheticChain(batch[j], base + j, redirectEvery);
    const auto start = Clock::now();
    for (size_t j = 0; j < n; ++j) {
      if (!store.add(batch[j], kTestModeNone, fatal)) {
        std::fprintf(stderr, "add failed: %s\n", fatal.get().message.c_str());
        return false;
      }
    }
    addSeconds += secondsSince(start);
  }
  const size_t resident = residentBytes() - residentBefore;

  std::vector<std::string> present, absent;
  present.reserve(kBatch);
  absent.reserve(kBatch);
  size_t found = 0, lookups = 0;
  double lookupSeconds = 0;
  for (size_t base = 0; base < records; base += kBatch) {
    present.clear();
    absent.clear();
    for (size_t j = 0; j < kBatch && base + j < records; ++j) {
      present.push_back(bench::syntheticUrl((base + j) * 7919 % records));
      absent.push_back(bench::syntheticUrl(records + base + j));
    }
    const auto start = Clock::now();
    for (const auto& url : present) found += store.contains(url);
    for (const auto& url : absent) found += store.contains(url);
    lookupSeconds += secondsSince(start);
    lookups += present.size() + absent.size();
  }

  const double perRecord = static_cast<double>(resident) / records;
  const double textPerRecord = static_cast<double>(textBytes) / records;
  if (redirectEvery == 0) {
    std::printf("records                    %zu, one hop each\n", records);
  } else {
    std::printf("records                    %zu, one in %zu with one redirect\n", records, redirectEvery);
  }
  std::printf("add rate                   %.0f records/s (%.3f s)\n", records / addSeconds, addSeconds);
  std::printf("duplicate-lookup rate      %.0f lookups/s (%zu lookups, half present; %zu found)\n",
              lookups / lookupSeconds, lookups, found);
  std::printf("resident memory            %.1f MiB, %.1f bytes/record\n", resident / 1048576.0, perRecord);
  std::printf("text bytes                 %.1f bytes/record\n", textPerRecord);
  std::printf("overhead beyond text       %.1f bytes/record%s\n\n", perRecord - textPerRecord,
              redirectEvery == 0 ? " (goal: at most 200)" : "");
  return found == lookups / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const bool correct = runScenario(records, 5) && runScenario(records, 0);
  return correct ? 0 : 1;
}
