#pragma once
// What a test's FAIL met, told so that a CI user can act on it: the target the rule expected,
// the final URL and status that were met, and the libcurl error where a hop failed. Said on the
// per-URL line, in JSON Lines and in the JUnit failure; the stored verdict keeps its reasons only.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/CrawlSetup.h"
#include "results/ResultRecord.h"

namespace tallyvane::cli {

// The target a test expects for a URL; nothing when no rule gives one.
using ExpectedTarget = std::function<std::optional<std::string>(std::string_view url)>;

// The mapping rules' or the canonical form's; empty outside a test.
ExpectedTarget expectedTargetOf(const CrawlSetup& setup);

// The error text of the chain's failed hop ("LibCurl:..."), or nothing.
std::optional<std::string_view> hopError(const ResultRecord& record);

// "expected TARGET, met FINAL_URL STATUS[, LibCurl:...]"; "" for a PASS. expected may be empty
// (a saved run has no rules).
std::string failureDetail(const ResultRecord& record, const ExpectedTarget& expected);

}  // namespace tallyvane::cli
