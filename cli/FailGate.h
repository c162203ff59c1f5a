#pragma once
// `--fail-on LIST`: the classes of URL that fail a CI job. A run that finished with any URL in
// one exits with status 2 and counts each class on stderr.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "results/Filters.h"
#include "results/ResultRecord.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

struct FailClass {
  std::string name;  // as the list gave it
  // A filter's URLs are those its index list holds; the other classes are judged URL by URL.
  std::variant<Filter, bool (*)(const ResultRecord&)> members;
};

class FailGate {
 public:
  // Comma-separated classes in any case: 3xx, 4xx, 5xx, error, loop, chain, max-redirects,
  // noindex, redirect-to-4xx, redirect-to-5xx, redirect-to-error, redirect-to-noindex, or a
  // filter's name or number. The message naming the first unknown class otherwise.
  static std::variant<FailGate, std::string> parse(std::string_view list);
  FailGate() = default;

  bool empty() const { return classes_.empty(); }
  bool names(Filter filter) const;
  // Counts the store's URLs in each class; true when any URL falls in one.
  bool judge(const ResultStore& store);
  // "Failed on CLASS: N" for each class with URLs in it.
  std::vector<std::string> countLines() const;

 private:
  std::vector<FailClass> classes_;
  std::vector<int64_t> counts_;
};

// Every class --fail-on knows, for --help and messages.
std::string failClassList();

}  // namespace tallyvane::cli
