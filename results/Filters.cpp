#include "results/Filters.h"

#include <string_view>

#include "base/Text.h"
#include "results/HopRecord.h"

namespace tallyvane {
namespace {

bool between(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

int64_t totalResponseTime(const ResultRecord& record) {
  int64_t total = 0;
  for (int i = 0; i < record.responseCount; ++i) total += record.responses[i].responseTime;
  return total;
}

}  // namespace

uint32_t filtersShowing(const ResultRecord& record, int64_t slowPageThresholdMs) {
  const int64_t s = record.first().statusCode;
  const std::string_view url = textOf(record.first().url);
  const bool redirect = between(s, 300, 399);
  // Spelt out bit by bit rather than looped over a table: this runs for every record stored.
  const auto bit = [](int filter, bool holds) { return static_cast<uint32_t>(holds) << filter; };
  return bit(1, startsWithIgnoreCase(url, "http://")) |                       // HTTP URLs
         bit(2, startsWithIgnoreCase(url, "https://")) |                      // HTTPS URLs
         bit(3, between(s, 200, 299)) |                                       // 2XX - Success
         bit(4, redirect) |                                                   // 3XX - Redirects
         bit(5, s == 301) |                                                   // 301 Redirects
         bit(6, redirect && s != 301) |                                       // 302 Redirects
         bit(7, redirect && record.responseCount >= 3) |                      // Redirect Chains
         bit(8, redirect && record.chainKind == kChainLoop) |                 // Redirect Loops
         bit(9, between(s, 400, 499)) |                                       // 4xx Client Errors
         bit(10, s == 404) |                                                  // Page Not Found
         bit(11, between(s, 500, 599)) |                                      // 5xx Server Errors
         bit(12, s == 0 || totalResponseTime(record) > slowPageThresholdMs) |  // Slow Pages
         bit(13, s == 0 || s == 504);                                         // No Response / Timeout
}

}  // namespace tallyvane
