#pragma once
// What the result store keeps of one checked URL. Texts are zero-terminated UTF-8 owned by the
// store; an empty text is nullptr. Records never change after they are added.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "results/PackedHeaders.h"

namespace tallyvane {

// Whether records hold a test's verdict (testPassed, testReason), and of which test.
enum class TestMode : int { None = 0, Canonical = 1, Mapping = 2 };

struct LinkRecord {
  const char* link;
  const char* rel;
  const char* hreflang;
};

// Ordered widest first, with the numbers narrowed to what a response can hold: a million
// responses take 72 bytes each instead of 88.
struct ResponseRecord {
  const char* url;
  int64_t size;  // -1: unknown
  const char* statusText;
  const char* type;
  const char* xRobotsTag;
  const char* vary;
  PackedHeaders rawHeaders;  // compressed: read through text()
  const LinkRecord* links;
  int32_t responseTime;  // ms; -1: none
  int16_t statusCode;    // 0: no response
  uint8_t linkCount;
};
static_assert(sizeof(ResponseRecord) == 72);

// The range a stored status code and response time take. Status codes have three digits; a
// response time longer than 24 days is kept as the longest one.
constexpr int64_t kMaxStatusCode = 999;
constexpr int64_t kMaxResponseTime = INT32_MAX;
inline int16_t storedStatusCode(int64_t code) {
  return static_cast<int16_t>(std::clamp<int64_t>(code, 0, kMaxStatusCode));
}
inline int32_t storedResponseTime(int64_t ms) {
  return static_cast<int32_t>(std::clamp<int64_t>(ms, -1, kMaxResponseTime));
}

struct ResultRecord {
  const ResponseRecord* responses;  // responseCount entries; the last is the final answer
  const char* testReason;
  uint8_t responseCount;
  uint8_t testPassed;
  uint8_t chainKind;

  int redirectCount() const { return responseCount - 1; }
  const ResponseRecord& first() const { return responses[0]; }
  const ResponseRecord& last() const { return responses[responseCount - 1]; }
};

// An absent text reads as "".
inline std::string_view textOf(const char* stored) { return stored ? std::string_view(stored) : std::string_view(); }

}  // namespace tallyvane
