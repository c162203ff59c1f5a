#include "cli/FailGate.h"

#include <array>

#include "base/Text.h"
#include "cli/OutputPlan.h"
#include "results/Filters.h"
#include "results/HopRecord.h"

namespace tallyvane::cli {
namespace {

using Holds = std::function<bool(const ResultRecord&)>;

bool between(int64_t code, int64_t low, int64_t high) { return code >= low && code <= high; }
bool redirected(const ResultRecord& r) { return between(r.first().statusCode, 300, 399) && r.responseCount > 1; }
bool noAnswer(const ResponseRecord& response) { return response.statusCode == 0; }

// "noindex" or "none" among the directives, for any robot. The store keeps the values of several
// headers in brackets.
bool forbidsIndexing(const ResponseRecord& response) {
  bool found = false;
  std::string_view rest = textOf(response.xRobotsTag);
  while (!rest.empty() && !found) {
    const size_t end = rest.find_first_of(",: []");
    const std::string_view token = trimBlanks(rest.substr(0, end));
    found = equalsIgnoreCase(token, "noindex") || equalsIgnoreCase(token, "none");
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return found;
}

struct NamedClass {
  std::string_view name;
  bool (*holds)(const ResultRecord&);
};

constexpr std::array<NamedClass, 12> kClasses = {{
    {"3xx", [](const ResultRecord& r) { return between(r.first().statusCode, 300, 399); }},
    {"4xx", [](const ResultRecord& r) { return between(r.first().statusCode, 400, 499); }},
    {"5xx", [](const ResultRecord& r) { return between(r.first().statusCode, 500, 599); }},
    {"error", [](const ResultRecord& r) { return r.chainKind == kChainFailed || noAnswer(r.first()); }},
    {"loop", [](const ResultRecord& r) { return r.chainKind == kChainLoop; }},
    {"chain", [](const ResultRecord& r) { return r.chainKind == kChainRedirects; }},
    {"max-redirects", [](const ResultRecord& r) { return r.chainKind == kChainMaxRedirects; }},
    {"noindex", [](const ResultRecord& r) { return forbidsIndexing(r.first()); }},
    // Judged by the chain's final answer: what a migration check looks for first.
    {"redirect-to-4xx", [](const ResultRecord& r) { return redirected(r) && between(r.last().statusCode, 400, 499); }},
    {"redirect-to-5xx", [](const ResultRecord& r) { return redirected(r) && between(r.last().statusCode, 500, 599); }},
    {"redirect-to-error",
     [](const ResultRecord& r) { return redirected(r) && (r.chainKind == kChainFailed || noAnswer(r.last())); }},
    {"redirect-to-noindex", [](const ResultRecord& r) { return redirected(r) && forbidsIndexing(r.last()); }},
}};

std::optional<Holds> classNamed(std::string_view name, int64_t slowPageThresholdMs) {
  for (const NamedClass& known : kClasses) {
    if (equalsIgnoreCase(known.name, name)) return Holds(known.holds);
  }
  const auto filter = filterNamed(name);
  if (!filter) return std::nullopt;
  return Holds([filter = *filter, slowPageThresholdMs](const ResultRecord& r) {
    return showsIn(filtersShowing(r, slowPageThresholdMs), filter);
  });
}

}  // namespace

std::string failClassList() {
  std::string list;
  for (const NamedClass& known : kClasses) list += (list.empty() ? "" : ", ") + std::string(known.name);
  return list + ", or a filter's name or number";
}

std::variant<FailGate, std::string> FailGate::parse(std::string_view list, int64_t slowPageThresholdMs) {
  FailGate gate;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view name = trimBlanks(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (name.empty()) continue;
    auto holds = classNamed(name, slowPageThresholdMs);
    if (!holds) return "Unknown --fail-on class \"" + std::string(name) + "\": use " + failClassList();
    gate.classes_.push_back({std::string(name), std::move(*holds)});
  }
  gate.counts_.assign(gate.classes_.size(), 0);
  return gate;
}

bool FailGate::judge(const ResultStore& store) {
  counts_.assign(classes_.size(), 0);
  bool any = false;
  for (int64_t i = 0; i < store.count(); ++i) {
    const ResultRecord& record = *store.recordAtIndex(i);
    for (size_t c = 0; c < classes_.size(); ++c) {
      if (!classes_[c].holds(record)) continue;
      ++counts_[c];
      any = true;
    }
  }
  return any;
}

std::vector<std::string> FailGate::countLines() const {
  std::vector<std::string> lines;
  for (size_t c = 0; c < classes_.size(); ++c) {
    if (counts_[c] > 0) lines.push_back("Failed on " + classes_[c].name + ": " + std::to_string(counts_[c]));
  }
  return lines;
}

}  // namespace tallyvane::cli
