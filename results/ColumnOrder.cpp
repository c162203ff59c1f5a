#include "results/ColumnOrder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "results/ResultColumns.h"

namespace tallyvane {
namespace {

bool isTextColumn(int column) {
  switch (column) {
    case kUrlColumn:
    case kTypeColumn:
    case kStatusColumn:
    case kXRobotsTagColumn:
    case kVaryColumn:
    case kFinalUrlColumn:
    case kTestResultColumn:
      return true;
    default:
      return false;
  }
}

const char* textKeyOf(int column, const ResultRecord& r) {
  const ResponseRecord& first = r.first();
  switch (column) {
    case kUrlColumn: return first.url;
    case kTypeColumn: return first.type;
    case kStatusColumn: return first.statusText;
    case kXRobotsTagColumn: return first.xRobotsTag;
    case kVaryColumn: return first.vary;
    case kFinalUrlColumn: return r.responseCount > 1 ? r.last().url : nullptr;
    case kTestResultColumn: return r.testReason;
    default: return nullptr;
  }
}

int64_t numberKeyOf(int column, const ResultRecord& r) {
  const ResponseRecord& first = r.first();
  switch (column) {
    case kStatusCodeColumn: return first.statusCode;
    case kSizeColumn: return first.size;
    case kResponseTimeColumn: return first.responseTime;
    case kRedirectsColumn: return r.responseCount;
    case kLinkHeadersColumn: return first.linkCount;
    case kTestResultColumn: return r.testPassed;
    default: return 0;
  }
}

}  // namespace

uint64_t eightBytesAt(std::string_view text, size_t at) {
  unsigned char bytes[8] = {};
  if (at < text.size()) std::memcpy(bytes, text.data() + at, std::min<size_t>(8, text.size() - at));
  uint64_t word = 0;
  for (const unsigned char byte : bytes) word = word << 8 | byte;
  return word;
}

ColumnOrder::ColumnOrder(int column, bool descending)
    : column_(column),
      descending_(descending),
      hasText_(isTextColumn(column)),
      numbered_(!isTextColumn(column) || column == kTestResultColumn) {}

ColumnKey ColumnOrder::keyOf(const ResultRecord& record) const {
  return ColumnKey{numbered_ ? numberKeyOf(column_, record) : 0, hasText_ ? textOf(textKeyOf(column_, record)) : std::string_view()};
}

uint64_t ColumnOrder::hint(const ColumnKey& key, std::string_view prefix) const {
  constexpr uint64_t kHighest = std::numeric_limits<uint64_t>::max();
  uint64_t word;
  if (numbered_) {
    word = orderedBits(key.number);
  } else if (!key.text.starts_with(prefix)) {
    word = key.text < prefix ? 0 : kHighest;
  } else {
    // 1..kHighest-1 keeps the words of the texts that share prefix between the two ends.
    word = std::min(eightBytesAt(key.text, prefix.size()), kHighest - 2) + 1;
  }
  return descending_ ? ~word : word;
}

std::string_view sharedPrefix(std::string_view a, std::string_view b) {
  const size_t length = std::min(a.size(), b.size());
  return a.substr(0, static_cast<size_t>(std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(length), b.begin()).first - a.begin()));
}

}  // namespace tallyvane
