#pragma once
// The filters of the result list. Their numbers are those --filter, --fail-on and the low-memory
// dialog take, and the order of the drop-down: they never change, and new filters are appended.
// "All URLs" has no index list; "Test Failed" only has members in a test's results.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "results/ResultRecord.h"

namespace tallyvane {

enum class Filter : int {
  AllUrls = 0,
  HttpUrls = 1,
  HttpsUrls = 2,
  Success2xx = 3,
  Redirects3xx = 4,
  Redirects301 = 5,
  Redirects302 = 6,
  RedirectChains = 7,
  RedirectLoops = 8,
  ClientErrors4xx = 9,
  PageNotFound = 10,
  ServerErrors5xx = 11,
  SlowPages = 12,
  NoResponseTimeout = 13,
  // What a migration check looks for first.
  RedirectsToErrors = 14,
  TestFailed = 15,
};

// Filters with an index list: every one but "All URLs".
inline constexpr int kFilterCount = 15;

// Every filter, in number order.
inline constexpr std::array<Filter, kFilterCount + 1> kFilters = {
    Filter::AllUrls,         Filter::HttpUrls,        Filter::HttpsUrls,      Filter::Success2xx,
    Filter::Redirects3xx,    Filter::Redirects301,    Filter::Redirects302,   Filter::RedirectChains,
    Filter::RedirectLoops,   Filter::ClientErrors4xx, Filter::PageNotFound,   Filter::ServerErrors5xx,
    Filter::SlowPages,       Filter::NoResponseTimeout, Filter::RedirectsToErrors, Filter::TestFailed,
};

constexpr int filterNumber(Filter filter) { return static_cast<int>(filter); }
// The filter of a number from outside (a command line, a drop-down entry); nothing when there is
// no such filter.
constexpr std::optional<Filter> filterFromNumber(int64_t number) {
  if (number < 0 || number > kFilterCount) return std::nullopt;
  return static_cast<Filter>(number);
}

std::string_view filterName(Filter filter);

// Offered only where results hold a test's verdicts: elsewhere it could only ever be empty.
constexpr bool needsTestResults(Filter filter) { return filter == Filter::TestFailed; }

// Bit f is set when filter number f (1..15) shows the record, a record of a test when testMode
// says so.
uint32_t filtersShowing(const ResultRecord& record, int64_t slowPageThresholdMs, TestMode testMode);

// A redirect that was followed, and what its chain ended in.
bool isFollowedRedirect(const ResultRecord& record);
bool redirectEndsIn(const ResultRecord& record, int64_t lowestStatus, int64_t highestStatus);
// No final answer: a failed hop, a loop, or a chain over the limit (their last hop is never
// requested).
bool redirectEndsWithoutAnswer(const ResultRecord& record);

constexpr bool showsIn(uint32_t filtersShowing, Filter filter) {
  return filter == Filter::AllUrls || ((filtersShowing >> filterNumber(filter)) & 1u) != 0;
}

}  // namespace tallyvane
