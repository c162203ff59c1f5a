#include "base/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallyvane {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(TextTest, ValidUtf8PassesUnchanged) {
  const std::string text = "plain, caf\xC3\xA9, \xE2\x82\xAC, \xF0\x9F\x98\x80";
  EXPECT_EQ(sanitizeUtf8(text), text);
  EXPECT_TRUE(isValidUtf8(text));
  EXPECT_FALSE(isValidUtf8("caf\xE9"));
  EXPECT_FALSE(isValidUtf8("\xE2\x82"));
}

// The ASCII scan reads whole words, the last one overlapping: a non-ASCII byte at any position of
// any length up to three words is found, and no further byte is taken for it.
TEST(TextTest, AsciiPrefixEndsAtTheFirstNonAsciiByteWhereverItIs) {
  for (size_t size = 0; size <= 72; ++size) {
    EXPECT_EQ(asciiPrefixLength(std::string(size, 'a')), size);
    for (size_t at = 0; at < size; ++at) {
      std::string text(size, 'a');
      text[at] = '\xE9';
      if (at + 1 < size) text[size - 1] = '\xC3';
      EXPECT_EQ(asciiPrefixLength(text), at) << "size " << size << ", at " << at;
    }
  }
}

TEST(TextTest, EveryInvalidSequenceBecomesOneReplacementPerByte) {
  EXPECT_EQ(sanitizeUtf8("a\xFF" "b"), "a" + kReplacement + "b");
  EXPECT_EQ(sanitizeUtf8("\xC0\xAF"), kReplacement + kReplacement);              // overlong
  EXPECT_EQ(sanitizeUtf8("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);  // surrogate
  EXPECT_EQ(sanitizeUtf8("end\xE2\x82"), "end" + kReplacement + kReplacement);  // cut short
  EXPECT_EQ(sanitizeUtf8("\xF4\x90\x80\x80").substr(0, 3), kReplacement);        // beyond U+10FFFF
}

TEST(TextTest, EightBitFormKeepsCharactersBelow256Only) {
  EXPECT_EQ(latin1FromUtf8("caf\xC3\xA9 \xC2\xA0"), "caf\xE9 \xA0");
  EXPECT_EQ(latin1FromUtf8("\xE2\x82\xAC" "5 \xC4\x80"), "5 ");
}

TEST(TextTest, CaseInsensitiveComparisonAndTrimming) {
  EXPECT_TRUE(equalsIgnoreCase("Example.COM", "example.com"));
  EXPECT_FALSE(equalsIgnoreCase("example.com", "example.co"));
  EXPECT_TRUE(startsWithIgnoreCase("HTTPS://x", "https://"));
  EXPECT_FALSE(startsWithIgnoreCase("http", "https://"));
  EXPECT_EQ(trimBlanks("  \tvalue\t  "), "\tvalue\t");
  EXPECT_EQ(trimBlanksAndTabs(" \t value \t"), "value");
  EXPECT_EQ(trimBlanks("   "), "");
}

TEST(TextTest, EveryLineBreakBecomesCrLf) {
  EXPECT_EQ(withCrLfLineBreaks("a\nb\rc\r\nd\n\ne"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
}

TEST(TextTest, CrLfLines) {
  std::vector<std::string> lines;
  forEachCrLfLine("one\r\ntwo\nstill two\r\n", [&](std::string_view line) { lines.emplace_back(line); });
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two\nstill two", ""}));
}

}  // namespace
}  // namespace tallyvane
