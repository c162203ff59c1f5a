#include "engine/StatusLine.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyvane {
namespace {

TEST(StatusLineTest, ThirdWordToEndOfLine) {
  EXPECT_EQ(statusTextOf("HTTP/1.1 301 Moved Permanently\r\n"), "Moved Permanently");
  EXPECT_EQ(statusTextOf("HTTP/1.1   200   OK  \r\n"), "OK  ");
  EXPECT_EQ(statusTextOf("HTTP/1.0 500 Internal\tServer Error\n"), "Internal\tServer Error");
  EXPECT_EQ(statusTextOf("HTTP/1.1 200 OK"), "OK");
}

TEST(StatusLineTest, FewerThanThreeWordsGiveNothing) {
  EXPECT_EQ(statusTextOf("HTTP/2 200\r\n"), "");
  EXPECT_EQ(statusTextOf("HTTP/2 200 \r\n"), "");
  EXPECT_EQ(statusTextOf("\r\n"), "");
  EXPECT_EQ(statusTextOf(""), "");
}

TEST(StatusLineTest, ScanStopsAtZeroCharacterOrLineBreak) {
  EXPECT_EQ(statusTextOf(std::string("HTTP/1.1 200 O\0K\r\n", 19)), "O");
  EXPECT_EQ(statusTextOf("HTTP/1.1 200\rOK\r\n"), "");
}

}  // namespace
}  // namespace tallyvane
