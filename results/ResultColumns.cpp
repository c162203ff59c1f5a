#include "results/ResultColumns.h"

#include <cinttypes>
#include <cstdio>

namespace tallyvane {

std::string secondsText(int64_t milliseconds) {
  // Single precision, as the list and the reports have always shown it.
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(static_cast<float>(milliseconds) / 1000.0f));
  return text;
}

std::string statusCodeText(const ResponseRecord& r) {
  return r.statusCode == 0 ? std::string() : std::to_string(r.statusCode);
}

std::string sizeText(const ResponseRecord& r) { return r.size == -1 ? std::string() : std::to_string(r.size); }

std::string responseTimeText(const ResponseRecord& r) {
  return r.statusCode == 0 ? std::string() : secondsText(r.responseTime);
}

std::string cellText(const ResultRecord& record, int column) {
  const ResponseRecord& first = record.first();
  const bool redirect = first.statusCode >= 300 && first.statusCode <= 399;
  switch (column) {
    case kTestResultColumn:
      if (record.testPassed == 1) return "PASS";
      return record.testReason ? "FAIL " + std::string(record.testReason) : "FAIL";
    case kUrlColumn: return std::string(textOf(first.url));
    case kTypeColumn: return std::string(textOf(first.type));
    case kStatusCodeColumn: return statusCodeText(first);
    case kStatusColumn: return std::string(textOf(first.statusText));
    case kSizeColumn: return sizeText(first);
    case kResponseTimeColumn: return responseTimeText(first);
    case kXRobotsTagColumn: return std::string(textOf(first.xRobotsTag));
    case kVaryColumn: return std::string(textOf(first.vary));
    case kFinalUrlColumn: return redirect ? std::string(textOf(record.last().url)) : std::string();
    case kRedirectsColumn: return redirect ? std::to_string(record.redirectCount()) : "0";
    case kLinkHeadersColumn: return std::to_string(first.linkCount);
    default: return {};
  }
}

}  // namespace tallyvane
