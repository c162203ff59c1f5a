#include "results/Filters.h"

#include "config/Text.h"

namespace tallyvane {
namespace {

bool between(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

int64_t totalResponseTime(const ResultRecord& record) {
  int64_t total = 0;
  for (int i = 0; i < record.responseCount; ++i) total += record.responses[i].responseTime;
  return total;
}

}  // namespace

bool filterHolds(int filter, const ResultRecord& record, int64_t slowPageThresholdMs) {
  const int64_t s = record.first().statusCode;
  const std::string_view url = textOf(record.first().url);
  switch (filter) {
    case 1: return startsWithIgnoreCase(url, "http://");
    case 2: return startsWithIgnoreCase(url, "https://");
    case 3: return between(s, 200, 299);
    case 4: return between(s, 300, 399);
    case 5: return s == 301;
    case 6: return between(s, 300, 399) && s != 301;
    case 7: return between(s, 300, 399) && record.responseCount >= 3;
    case 8: return between(s, 300, 399) && record.chainKind == 1;
    case 9: return between(s, 400, 499);
    case 10: return s == 404;
    case 11: return between(s, 500, 599);
    case 12: return s == 0 || totalResponseTime(record) > slowPageThresholdMs;
    case 13: return s == 0 || s == 504;
    default: return false;
  }
}

}  // namespace tallyvane
