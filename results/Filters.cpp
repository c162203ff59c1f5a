#include "results/Filters.h"

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
  const bool holds[kFilterCount + 1] = {
      false,
      startsWithIgnoreCase(url, "http://"),
      startsWithIgnoreCase(url, "https://"),
      between(s, 200, 299),
      redirect,
      s == 301,
      redirect && s != 301,
      redirect && record.responseCount >= 3,
      redirect && record.chainKind == kChainLoop,
      between(s, 400, 499),
      s == 404,
      between(s, 500, 599),
      s == 0 || totalResponseTime(record) > slowPageThresholdMs,
      s == 0 || s == 504,
  };
  uint32_t mask = 0;
  for (int filter = 1; filter <= kFilterCount; ++filter) mask |= static_cast<uint32_t>(holds[filter]) << filter;
  return mask;
}

}  // namespace tallyvane
