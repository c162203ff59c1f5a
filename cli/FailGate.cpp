#include "cli/FailGate.h"

#include <algorithm>
#include <array>

#include "base/Text.h"
#include "cli/OutputPlan.h"
#include "results/Filters.h"
#include "results/HopRecord.h"

namespace tallyvane::cli {
namespace {

bool between(int64_t code, int64_t low, int64_t high) { return code >= low && code <= high; }
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
    {"redirect-to-4xx", [](const ResultRecord& r) { return redirectEndsIn(r, 400, 499); }},
    {"redirect-to-5xx", [](const ResultRecord& r) { return redirectEndsIn(r, 500, 599); }},
    {"redirect-to-error", redirectEndsWithoutAnswer},
    {"redirect-to-noindex", [](const ResultRecord& r) { return isFollowedRedirect(r) && forbidsIndexing(r.last()); }},
}};

std::optional<FailClass> classNamed(std::string_view name) {
  for (const NamedClass& known : kClasses) {
    if (equalsIgnoreCase(known.name, name)) return FailClass{std::string(name), known.holds};
  }
  if (const auto filter = filterNamed(name)) return FailClass{std::string(name), *filter};
  return std::nullopt;
}

}  // namespace

std::string failClassList() {
  std::string list;
  for (const NamedClass& known : kClasses) list += (list.empty() ? "" : ", ") + std::string(known.name);
  return list + ", or a filter's name or number";
}

std::variant<FailGate, std::string> FailGate::parse(std::string_view list) {
  FailGate gate;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view name = trimBlanks(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (name.empty()) continue;
    auto known = classNamed(name);
    if (!known) return "Unknown --fail-on class \"" + std::string(name) + "\": use " + failClassList();
    gate.classes_.push_back(std::move(*known));
  }
  gate.counts_.assign(gate.classes_.size(), 0);
  return gate;
}

bool FailGate::names(Filter filter) const {
  return std::any_of(classes_.begin(), classes_.end(), [filter](const FailClass& c) {
    const auto* named = std::get_if<Filter>(&c.members);
    return named && *named == filter;
  });
}

bool FailGate::judge(const ResultStore& store) {
  counts_.assign(classes_.size(), 0);
  for (size_t c = 0; c < classes_.size(); ++c) {
    if (const auto* filter = std::get_if<Filter>(&classes_[c].members)) counts_[c] = store.rowCount({false, *filter});
  }
  for (int64_t i = 0; i < store.count(); ++i) {
    const ResultRecord& record = *store.recordAtIndex(i);
    for (size_t c = 0; c < classes_.size(); ++c) {
      const auto* holds = std::get_if<bool (*)(const ResultRecord&)>(&classes_[c].members);
      if (holds && (*holds)(record)) ++counts_[c];
    }
  }
  return std::any_of(counts_.begin(), counts_.end(), [](int64_t count) { return count > 0; });
}

std::vector<std::string> FailGate::countLines() const {
  std::vector<std::string> lines;
  for (size_t c = 0; c < classes_.size(); ++c) {
    if (counts_[c] > 0) lines.push_back("Failed on " + classes_[c].name + ": " + std::to_string(counts_[c]));
  }
  return lines;
}

}  // namespace tallyvane::cli
