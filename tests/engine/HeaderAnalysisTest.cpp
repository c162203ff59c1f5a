#include "engine/HeaderAnalysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallyvane {
namespace {

class HeaderAnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override { hop.url = "https://site.example/dir/page"; }
  void analyse(const std::string& headerLines) {
    hop.rawHeaders = "HTTP/1.1 200 OK\r\n" + headerLines + "\r\n";
    analyseHeaders(hop, [this](const std::string& url) { queued.push_back(url); });
  }
  const LinkEntry& link(int i) const { return hop.links[static_cast<size_t>(i)]; }

  HopRecord hop;
  std::vector<std::string> queued;
};

TEST_F(HeaderAnalysisTest, VaryAndRobotsValuesAreBracketedInHeaderOrder) {
  analyse("Vary: Accept-Encoding\r\nX-Robots-Tag: noindex, nofollow\r\nVARY:   User-Agent  \r\nx-robots-tag: noarchive\r\n");
  EXPECT_EQ(hop.vary, "[Accept-Encoding],[User-Agent]");
  EXPECT_EQ(hop.xRobotsTag, "[noindex, nofollow],[noarchive]");
}

TEST_F(HeaderAnalysisTest, FoldedLinesJoinTheirHeaderWithSingleBlanks) {
  analyse("X-Robots-Tag: noindex,\r\n   nofollow\r\n\tnosnippet\r\nVary : ignored\r\n");
  EXPECT_EQ(hop.xRobotsTag, "[noindex, nofollow nosnippet]");
  EXPECT_EQ(hop.vary, "");  // a blank before the colon matches nothing
}

TEST_F(HeaderAnalysisTest, LinksWithRelAndHreflangResolvedAgainstTheHop) {
  analyse(
      "Link: </de/>; rel=\"alternate\"; hreflang=\"de\", <https://site.example/en/>; rel=alternate; hreflang=en; "
      "hreflang=\"en-GB\"\r\n"
      "Link: <other>; REL=\"canonical\"\r\n");
  ASSERT_EQ(hop.linkCount, 3);
  // Link headers are read from the last one up.
  EXPECT_EQ(link(0).link, "https://site.example/dir/other");
  EXPECT_EQ(link(0).rel, "");  // parameter names are matched in lower case only
  EXPECT_EQ(link(1).link, "https://site.example/de/");
  EXPECT_EQ(link(1).rel, "alternate");
  EXPECT_EQ(link(1).hreflang, "[de]");
  EXPECT_EQ(link(2).link, "https://site.example/en/");
  EXPECT_EQ(link(2).hreflang, "[en],[en-GB]");
}

TEST_F(HeaderAnalysisTest, AHopReusedForTheNextResponseKeepsNothingOfItsLinks) {
  analyse("Link: </de/>; rel=\"alternate\"; hreflang=\"de\"\r\n");
  hop.resetResponse();
  analyse("Link: </fr/>\r\n");
  ASSERT_EQ(hop.linkCount, 1);
  EXPECT_EQ(link(0).link, "https://site.example/fr/");
  EXPECT_EQ(link(0).rel, "");
  EXPECT_EQ(link(0).hreflang, "");
}

TEST_F(HeaderAnalysisTest, MalformedPartsAreSkippedAndShortParametersEndTheList) {
  analyse("Link: no-brackets; rel=x, <>; rel=empty, <https://a.example/>;r=1; rel=after-short, <https://b.example/>\r\n");
  ASSERT_EQ(hop.linkCount, 2);
  EXPECT_EQ(link(0).link, "https://a.example/");
  EXPECT_EQ(link(0).rel, "");
  EXPECT_EQ(link(1).link, "https://b.example/");
}

TEST_F(HeaderAnalysisTest, SelfLinksAreNotQueuedOthersAre) {
  analyse("Link: <https://site.example/dir/page>; rel=canonical, </elsewhere>; rel=next\r\n");
  EXPECT_EQ(queued, (std::vector<std::string>{"https://site.example/elsewhere"}));
}

TEST_F(HeaderAnalysisTest, AtMostThirtyLinksAreStoredOrQueued) {
  std::string value;
  for (int i = 0; i < 31; ++i) value += (i ? ", " : "") + std::string("</p") + std::to_string(i) + ">; rel=x";
  analyse("Link: " + value + "\r\n");
  EXPECT_EQ(hop.linkCount, 30);
  EXPECT_EQ(link(29).link, "https://site.example/p29");
  EXPECT_EQ(queued.size(), 30u);
}

TEST_F(HeaderAnalysisTest, OnlyTheFinalHeaderBlockCounts) {
  hop.rawHeaders = "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload\r\n\r\nHTTP/1.1 200 OK\r\nVary: Cookie\r\n\r\n";
  analyseHeaders(hop, nullptr);
  EXPECT_EQ(hop.linkCount, 0);
  EXPECT_EQ(hop.vary, "[Cookie]");
}

}  // namespace
}  // namespace tallyvane
