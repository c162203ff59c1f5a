#pragma once
// What changed for each URL between two runs of a list.

#include <functional>
#include <string_view>
#include <vector>

#include "results/ResultStore.h"

namespace tallyvane {

// What a diff compares of a URL's result, in the order they are told.
enum class ResultChange { FinalStatus, FinalUrl, Redirects, Chain, Verdict };
inline constexpr std::string_view kResultChangeNames[] = {"final status", "final URL", "redirects", "chain",
                                                          "verdict"};

struct UrlDiff {
  const ResultRecord* before = nullptr;  // nullptr: only in after
  const ResultRecord* after = nullptr;   // nullptr: only in before
  std::vector<ResultChange> changes;     // for a URL in both
};

// Calls visit for every URL that changed or is in one run only: before's URLs in its order, then
// those only in after, in its order. Verdicts are compared when both runs hold them.
void diffResults(const ResultStore& before, bool beforeVerdicts, const ResultStore& after, bool afterVerdicts,
                 const std::function<void(const UrlDiff&)>& visit);

}  // namespace tallyvane
