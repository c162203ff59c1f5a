#include "input/UrlNormalization.h"

#include <gtest/gtest.h>

namespace tallyvane {
namespace {

TEST(UrlNormalizationTest, BlanksAndUnsafeBytesAreEncodedOnce) {
  EXPECT_EQ(normaliseInputUrl("http://a.example/a b"), "http://a.example/a%20b");
  EXPECT_EQ(normaliseInputUrl("http://a.example/a%20b"), "http://a.example/a%20b");  // already encoded
  EXPECT_EQ(normaliseInputUrl("http://a.example/100%"), "http://a.example/100%25");
  EXPECT_EQ(normaliseInputUrl("http://a.example/%zz"), "http://a.example/%25zz");
  EXPECT_EQ(normaliseInputUrl("http://a.example/?q=a b|c^d{e}[f]\"<>\\`"),
            "http://a.example/?q=a%20b%7Cc%5Ed%7Be%7D%5Bf%5D%22%3C%3E%5C%60");
  EXPECT_EQ(normaliseInputUrl("http://a.example/\xC3\xA9"), "http://a.example/%C3%A9");
  EXPECT_EQ(normaliseInputUrl("http://a.example/!$&'()*,-./:;=?@_~#x"), "http://a.example/!$&'()*,-./:;=?@_~#x");
}

TEST(UrlNormalizationTest, PlusAndTheHostStayAsWritten) {
  // "+" means a blank in a query and "%2B" a literal plus: two different pages.
  EXPECT_EQ(normaliseInputUrl("http://a.example/s?q=red+shoes&p=%2B1"), "http://a.example/s?q=red+shoes&p=%2B1");
  EXPECT_EQ(normaliseInputUrl("http://b\xC3\xBC" "cher.example/b\xC3\xBC" "cher?x=\xC3\xBC"),
            "http://b\xC3\xBC" "cher.example/b%C3%BC" "cher?x=%C3%BC");
  EXPECT_EQ(normaliseInputUrl("http://[::1]:8080/a/../b"), "http://[::1]:8080/b");
  EXPECT_EQ(normaliseInputUrl("http://user name@h\xC3\xA9.example/"), "http://user%20name@h\xC3\xA9.example/");
}

TEST(UrlNormalizationTest, DotSegmentsOnly) {
  EXPECT_EQ(normaliseInputUrl("http://a.example/x/../y"), "http://a.example/y");
  EXPECT_EQ(normaliseInputUrl("http://a.example/x/./y/../z?q=../1#f"), "http://a.example/x/z?q=../1#f");
  EXPECT_EQ(normaliseInputUrl("HTTP://A.Example/Path"), "http://A.Example/Path");  // the scheme only, lower-cased
  EXPECT_EQ(normaliseInputUrl("example.com/page/../x"), "example.com/page/../x");  // no scheme is added
}

TEST(UrlNormalizationTest, ResolvesReferencesAgainstTheirBase) {
  EXPECT_EQ(resolveUrl("https://a.example/dir/page", "/other"), "https://a.example/other");
  EXPECT_EQ(resolveUrl("https://a.example/dir/page", "sibling?x=1"), "https://a.example/dir/sibling?x=1");
  EXPECT_EQ(resolveUrl("https://a.example/dir/page", "//cdn.example/x"), "https://cdn.example/x");
  EXPECT_EQ(resolveUrl("https://a.example/", "http://b.example/de/"), "http://b.example/de/");
  EXPECT_EQ(resolveUrl("https://a.example/", "not a url"), "not a url");
  EXPECT_EQ(resolveUrl("http://[::1]:81/a/b", "../c"), "http://[::1]:81/c");
  EXPECT_EQ(resolveUrl("http://a.example/", "//[::1]/x"), "http://[::1]/x");
  EXPECT_EQ(resolveUrl("no base", "/x"), "/x");
  // Paths from the root and absolute URLs, which most Link targets are, byte for byte as parsed.
  EXPECT_EQ(resolveUrl("http://127.0.0.1:8080/hdr/5?q#f", "/a?b#c?d"), "http://127.0.0.1:8080/a?b#c?d");
  EXPECT_EQ(resolveUrl("http://a.example?q", "/a%41/?"), "http://a.example/a%41/?");
  EXPECT_EQ(resolveUrl("http://a.example/x", "/a/./b/../c"), "http://a.example/a/c");
  EXPECT_EQ(resolveUrl("http://a.example/x", "/a?x=/.y"), "http://a.example/a?x=/.y");
  EXPECT_EQ(resolveUrl("http://u@a.example/x", "/y"), "http://u@a.example/y");
  EXPECT_EQ(resolveUrl("HTTP://A.example/x", "/y"), "HTTP://A.example/y");
  for (const char* unparsable : {"/a#b#c", "/a%4", "/a b"}) EXPECT_EQ(resolveUrl("http://a.example/", unparsable), unparsable);
  EXPECT_EQ(resolveUrl("http://a.example/p%zz", "/y"), "/y");
  EXPECT_EQ(resolveUrl("http://a.example/", "https://b.example:99?x#y"), "https://b.example:99?x#y");
}

}  // namespace
}  // namespace tallyvane
