#include "results/Filters.h"

#include <string_view>

#include "results/HopRecord.h"

namespace tallyvane {
namespace {

bool between(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

int64_t totalResponseTime(const ResultRecord& record) {
  int64_t total = 0;
  for (int i = 0; i < record.responseCount; ++i) total += record.responses[i].responseTime;
  return total;
}

enum WebScheme { kOtherScheme, kHttp, kHttps };

// "http://" or "https://" in any case, read without measuring the URL: both filters ask it of
// every record stored. A mismatch stops the reading, at the terminating zero at the latest.
WebScheme webSchemeOf(const char* url) {
  if (url == nullptr) return kOtherScheme;
  constexpr std::string_view kHttpLetters = "http";
  // Or-ing 0x20 lowers a letter and makes no other byte into one of these letters.
  for (size_t i = 0; i < kHttpLetters.size(); ++i) {
    if ((url[i] | 0x20) != kHttpLetters[i]) return kOtherScheme;
  }
  const bool secure = (url[4] | 0x20) == 's';
  const char* rest = url + 4 + (secure ? 1 : 0);
  if (rest[0] != ':' || rest[1] != '/' || rest[2] != '/') return kOtherScheme;
  return secure ? kHttps : kHttp;
}

}  // namespace

uint32_t filtersShowing(const ResultRecord& record, int64_t slowPageThresholdMs) {
  const int64_t s = record.first().statusCode;
  const WebScheme scheme = webSchemeOf(record.first().url);
  const bool redirect = between(s, 300, 399);
  const bool holds[kFilterCount + 1] = {
      false,
      scheme == kHttp,
      scheme == kHttps,
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
