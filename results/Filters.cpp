#include "results/Filters.h"

#include <string_view>

#include "base/Text.h"
#include "results/HopRecord.h"

namespace tallyvane {
namespace {

constexpr std::array<std::string_view, kFilters.size()> kFilterNames = {
    "All URLs",
    "HTTP URLs",
    "HTTPS URLs",
    "2XX - Success",
    "3XX - Redirects",
    "301 Redirects",
    "302 Redirects",
    "Redirect Chains",
    "Redirect Loops",
    "4xx Client Errors",
    "Page Not Found",
    "5xx Server Errors",
    "Slow Pages",
    "No Response / Timeout",
    "Redirects to Errors",
    "Test Failed",
};

bool between(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

int64_t totalResponseTime(const ResultRecord& record) {
  int64_t total = 0;
  for (int i = 0; i < record.responseCount; ++i) total += record.responses[i].responseTime;
  return total;
}

}  // namespace

std::string_view filterName(Filter filter) { return kFilterNames[static_cast<size_t>(filterNumber(filter))]; }

bool isFollowedRedirect(const ResultRecord& record) {
  return between(record.first().statusCode, 300, 399) && record.responseCount > 1;
}

bool redirectEndsIn(const ResultRecord& record, int64_t lowestStatus, int64_t highestStatus) {
  return isFollowedRedirect(record) && between(record.last().statusCode, lowestStatus, highestStatus);
}

bool redirectEndsWithoutAnswer(const ResultRecord& record) {
  const bool cutShort =
      record.chainKind == kChainFailed || record.chainKind == kChainLoop || record.chainKind == kChainMaxRedirects;
  return isFollowedRedirect(record) && (cutShort || record.last().statusCode == 0);
}

uint32_t filtersShowing(const ResultRecord& record, int64_t slowPageThresholdMs, TestMode testMode) {
  const int64_t s = record.first().statusCode;
  const std::string_view url = textOf(record.first().url);
  const bool redirect = between(s, 300, 399);
  // Spelt out bit by bit rather than looped over a table: this runs for every record stored.
  const auto bit = [](Filter filter, bool holds) { return static_cast<uint32_t>(holds) << filterNumber(filter); };
  return bit(Filter::HttpUrls, startsWithIgnoreCase(url, "http://")) |
         bit(Filter::HttpsUrls, startsWithIgnoreCase(url, "https://")) |
         bit(Filter::Success2xx, between(s, 200, 299)) |
         bit(Filter::Redirects3xx, redirect) |
         bit(Filter::Redirects301, s == 301) |
         bit(Filter::Redirects302, redirect && s != 301) |
         bit(Filter::RedirectChains, redirect && record.responseCount >= 3) |
         bit(Filter::RedirectLoops, redirect && record.chainKind == kChainLoop) |
         bit(Filter::ClientErrors4xx, between(s, 400, 499)) |
         bit(Filter::PageNotFound, s == 404) |
         bit(Filter::ServerErrors5xx, between(s, 500, 599)) |
         bit(Filter::SlowPages, s == 0 || totalResponseTime(record) > slowPageThresholdMs) |
         bit(Filter::NoResponseTimeout, s == 0 || s == 504) |
         bit(Filter::RedirectsToErrors, redirect && (redirectEndsIn(record, 400, 599) || redirectEndsWithoutAnswer(record))) |
         bit(Filter::TestFailed, testMode != TestMode::None && record.testPassed != 1);
}

}  // namespace tallyvane
