#include "engine/RetryAfter.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyvane {
namespace {

using std::chrono::seconds;
using std::chrono::system_clock;

// Sun, 06 Nov 1994 08:49:37 GMT
const system_clock::time_point kNow = std::chrono::sys_days{std::chrono::year{1994} / 11 / 6} + std::chrono::hours{8} +
                                      std::chrono::minutes{49} + seconds{37};

std::optional<seconds> after(const std::string& value) { return retryAfterValue(value, kNow); }

TEST(RetryAfterTest, DeltaSecondsWithBlanksAroundAndHugeNumbersSaturated) {
  EXPECT_EQ(after("0"), seconds{0});
  EXPECT_EQ(after("120"), seconds{120});
  EXPECT_EQ(after(" \t 7 "), seconds{7});
  EXPECT_EQ(after("0007"), seconds{7});
  EXPECT_EQ(after("99999999999999999999999999"), seconds{86400});
}

TEST(RetryAfterTest, TheThreeHttpDateFormsAsTimeFromNow) {
  EXPECT_EQ(after("Sun, 06 Nov 1994 08:50:07 GMT"), seconds{30});  // IMF-fixdate
  EXPECT_EQ(after("Sunday, 06-Nov-94 08:50:07 GMT"), seconds{30});  // RFC 850
  EXPECT_EQ(after("Sun Nov  6 08:50:07 1994"), seconds{30});        // asctime, day padded with a blank
  EXPECT_EQ(after("Mon, 07 Nov 1994 08:49:37 GMT"), seconds{86400});
  EXPECT_EQ(after("Thu, 01 Jan 1970 00:00:00 GMT"), seconds{0});  // long past: at once
  EXPECT_EQ(after("Sun, 06 Nov 1994 08:49:36 GMT"), seconds{0});
  // Two-digit years from 70 on are of the 1900s, the others of the 2000s.
  EXPECT_EQ(after("Friday, 01-Jan-38 00:00:00 GMT"), std::chrono::ceil<seconds>(
      std::chrono::sys_days{std::chrono::year{2038} / 1 / 1} - kNow));
}

TEST(RetryAfterTest, AnythingElseIsIgnored) {
  for (const char* junk : {"", "  ", "-5", "+5", "5s", "1.5", "5 6", "soon", "0x10",
                           "Sun, 06 Nov 1994 08:49:37 UTC", "Sun, 06 Nov 1994 08:49:37",  // not GMT
                           "sun, 06 nov 1994 08:49:37 GMT", "Sun, 6 Nov 1994 08:49:37 GMT",  // case, one digit
                           "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",  // no such day or hour
                           "Sun, 06 Nov 1994 08:49:37 GMT trailing", "Sunday, 06-Nov-1994 08:49:37 GMT",
                           "Sun Nov 6 08:49:37 1994", "Sun, 06 Nov 1994 08:60:00 GMT"}) {
    EXPECT_EQ(after(junk), std::nullopt) << junk;
  }
}

TEST(RetryAfterTest, TheHeaderIsTakenFromTheFinalBlockInAnyCase) {
  EXPECT_EQ(retryAfterOf("HTTP/1.1 429 Too Many Requests\r\nretry-AFTER:  3\r\nRetry-After: 9\r\n\r\n", kNow),
            seconds{3});
  EXPECT_EQ(retryAfterOf("HTTP/1.1 503 Busy\r\nRetry-After: 3\r\n\r\nHTTP/1.1 429 Slow down\r\nX: y\r\n\r\n", kNow),
            std::nullopt);
  EXPECT_EQ(retryAfterOf("HTTP/1.1 429 Slow down\r\nX-Retry-After: 3\r\nRetry-After-Not: 4\r\n\r\n", kNow),
            std::nullopt);
  EXPECT_EQ(retryAfterOf("HTTP/1.1 429 Slow down\r\nRetry-After: later\r\n\r\n", kNow), std::nullopt);
}

}  // namespace
}  // namespace tallyvane
