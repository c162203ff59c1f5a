#include "input/UrlParts.h"

#include <gtest/gtest.h>

namespace tallyvane {
namespace {

TEST(UrlPartsTest, EveryPartOfAFullUrl) {
  const char* url = "https://user:pw@www.example.com:8443/a/b.html?x=1&y=/z#frag?no";
  EXPECT_EQ(getUrlPart(url, kPartProtocol), "https");
  EXPECT_EQ(getUrlPart(url, kPartUser), "user");
  EXPECT_EQ(getUrlPart(url, kPartPassword), "pw");
  EXPECT_EQ(getUrlPart(url, kPartSite), "www.example.com");
  EXPECT_EQ(getUrlPart(url, kPartPort), "8443");
  EXPECT_EQ(getUrlPart(url, kPartPath), "a/b.html");
  EXPECT_EQ(getUrlPart(url, kPartParameters), "x=1&y=/z");
  EXPECT_EQ(getUrlPart(url, kPartAnchor), "frag?no");
}

TEST(UrlPartsTest, AbsentPartsAreEmpty) {
  EXPECT_EQ(getUrlPart("http://example.com", kPartPath), "");
  EXPECT_EQ(getUrlPart("http://example.com", kPartPort), "");
  EXPECT_EQ(getUrlPart("http://example.com/p@q", kPartUser), "");
  EXPECT_EQ(getUrlPart("http://example.com/p@q", kPartSite), "example.com");
  EXPECT_EQ(getUrlPart("example.com/path", kPartSite), "");
  EXPECT_EQ(getUrlPart("http://example.com", "/XX/"), "");
}

TEST(UrlPartsTest, QuestionMarkDoesNotEndTheSiteButHashDoesNotEndThePath) {
  EXPECT_EQ(getUrlPart("http://example.com?x=1", kPartSite), "example.com?x=1");
  EXPECT_EQ(getUrlPart("http://example.com/a#b/c", kPartPath), "a#b/c");
}

TEST(UrlPartsTest, AnIpv6LiteralIsOneSiteWithItsBrackets) {
  EXPECT_EQ(getUrlPart("http://[::1]:8080/p", kPartSite), "[::1]");
  EXPECT_EQ(getUrlPart("http://[::1]:8080/p", kPartPort), "8080");
  EXPECT_EQ(getUrlPart("http://u@[2001:db8::7]/p", kPartSite), "[2001:db8::7]");
  EXPECT_EQ(setUrlPart("http://[::1]:8080/p", kPartProtocol, "https"), "https://[::1]:8080/p");
}

TEST(UrlPartsTest, RequestHostEndsWhereARequestEndsIt) {
  const auto host = [](std::string_view url) {
    const auto span = requestHostSpan(url);
    return span ? std::string(url.substr(span->begin, span->end - span->begin)) : std::string("(none)");
  };
  EXPECT_EQ(host("http://example.com?x=1"), "example.com");
  EXPECT_EQ(host("https://u:p@b\xC3\xBC" "cher.example:81/a"), "b\xC3\xBC" "cher.example");
  EXPECT_EQ(host("http://a@b@c.example#f"), "c.example");
  EXPECT_EQ(host("http://[::1]:8080/"), "[::1]");
  EXPECT_EQ(host("http://[::1"), "[::1");
  EXPECT_EQ(host("http://"), "");
  EXPECT_EQ(host("example.com/a"), "(none)");
}

TEST(UrlPartsTest, SetReplacesOnlyThatPart) {
  EXPECT_EQ(setUrlPart("http://example.com/a?b#c", kPartProtocol, "https"), "https://example.com/a?b#c");
  EXPECT_EQ(setUrlPart("http://u@example.com:81/a", kPartSite, "www.example.com"), "http://u@www.example.com:81/a");
  EXPECT_EQ(setUrlPart("http://example.com", kPartPath, "new"), "http://example.com/new");
  EXPECT_EQ(setUrlPart("http://example.com/a#c", kPartParameters, "q=1"), "http://example.com/a?q=1#c");
  EXPECT_EQ(setUrlPart("http://example.com/a", kPartPort, "8080"), "http://example.com:8080/a");
}

TEST(UrlPartsTest, HttpSchemesCountInAnyCase) {
  EXPECT_TRUE(isHttpUrl("http://a"));
  EXPECT_TRUE(isHttpUrl("https://a"));
  EXPECT_TRUE(isHttpUrl("HTTP://a"));
  EXPECT_TRUE(isHttpUrl("Https://a"));
  EXPECT_FALSE(isHttpUrl("ftp://a"));
  EXPECT_FALSE(isHttpUrl("http:/a"));
  EXPECT_FALSE(isHttpUrl("httpx://a"));
}

}  // namespace
}  // namespace tallyvane
