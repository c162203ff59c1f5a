#include "results/ResultColumns.h"

#include <charconv>
#include <cmath>

namespace tallyvane {
namespace {

bool isRedirectAnswer(const ResponseRecord& response) { return response.statusCode >= 300 && response.statusCode <= 399; }

}  // namespace

NumberText NumberText::decimal(int64_t value) {
  NumberText text;
  text.size_ = static_cast<size_t>(std::to_chars(text.chars_.data(), text.chars_.data() + text.chars_.size(), value).ptr -
                                   text.chars_.data());
  return text;
}

NumberText NumberText::seconds(int64_t milliseconds) {
  // Single precision, as the list and the reports have always shown it, rounded as printf's
  // "%.2f" rounds: a float times 100 is exact in a double, so rounding it half to even gives
  // the hundredths printf would print.
  const float seconds = static_cast<float>(milliseconds) / 1000.0f;
  const double hundredths = std::nearbyint(std::fabs(static_cast<double>(seconds)) * 100.0);
  const auto whole = static_cast<uint64_t>(hundredths);
  NumberText text;
  char* p = text.chars_.data();
  if (std::signbit(seconds)) *p++ = '-';
  p = std::to_chars(p, text.chars_.data() + text.chars_.size(), whole / 100).ptr;
  *p++ = '.';
  *p++ = static_cast<char>('0' + whole % 100 / 10);
  *p++ = static_cast<char>('0' + whole % 10);
  text.size_ = static_cast<size_t>(p - text.chars_.data());
  return text;
}

NumberText statusCodeField(const ResponseRecord& r) {
  return r.statusCode == 0 ? NumberText::none() : NumberText::decimal(r.statusCode);
}

NumberText sizeField(const ResponseRecord& r) { return r.size == -1 ? NumberText::none() : NumberText::decimal(r.size); }

NumberText responseTimeField(const ResponseRecord& r) {
  return r.statusCode == 0 ? NumberText::none() : NumberText::seconds(r.responseTime);
}

std::string secondsText(int64_t milliseconds) { return NumberText::seconds(milliseconds).string(); }
std::string statusCodeText(const ResponseRecord& r) { return statusCodeField(r).string(); }
std::string sizeText(const ResponseRecord& r) { return sizeField(r).string(); }
std::string responseTimeText(const ResponseRecord& r) { return responseTimeField(r).string(); }

std::string cellText(const ResultRecord& record, int column) {
  const ResponseRecord& first = record.first();
  const bool redirect = isRedirectAnswer(first);
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

std::optional<std::string_view> chainKindName(const ResultRecord& record) {
  switch (record.chainKind) {
    case kChainLoop: return "loop";
    case kChainRedirects: return "chain";
    case kChainMaxRedirects: return "max-redirects";
    case kChainFailed: return "failed";
    default: break;
  }
  if (isRedirectAnswer(record.first()) && record.responseCount > 1) return "redirect";
  return std::nullopt;
}

int shownResponseCount(const ResultRecord& record) {
  return record.chainKind == kChainLoop ? record.responseCount - 1 : record.responseCount;
}

}  // namespace tallyvane
