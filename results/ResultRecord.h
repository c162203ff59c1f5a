#pragma once
// What the result store keeps of one checked URL. Texts are zero-terminated UTF-8 owned by the
// store; an empty text is nullptr. Records never change after they are added.

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

struct ResponseRecord {
  const char* url;
  int64_t statusCode;  // 0: no response
  int64_t size;        // -1: unknown
  int64_t responseTime;
  const char* statusText;
  const char* type;
  const char* xRobotsTag;
  const char* vary;
  PackedHeaders rawHeaders;  // compressed: read through text()
  const LinkRecord* links;
  uint8_t linkCount;
};

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
