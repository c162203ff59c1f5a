#include "input/UrlInput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CrawlSetup.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Sitemaps.h"

namespace tallyvane {
namespace {

using testing::ScratchFolder;
using testing::gzipBomb;
using testing::gzipped;
using testing::sitemapIndexOf;
using testing::urlsetOf;

class UrlInputTest : public ::testing::Test {
 protected:
  // Every URL the input hands out for a file of that name and content.
  std::vector<std::string> urlsOf(const std::string& name, const std::string& bytes) {
    const OpenOutcome outcome = input.open(folder.write(name, bytes).string(), "");
    EXPECT_TRUE(outcome.opened) << name << ": " << (outcome.message ? outcome.message->text : "no message");
    return drain();
  }
  std::vector<std::string> drain() {
    std::vector<std::string> urls;
    for (std::string url; input.next(url) != UrlOrigin::None;) urls.push_back(url);
    return urls;
  }
  // The message shown when the file is refused ("" when refused silently).
  std::string refusal(const std::string& name, const std::string& bytes) {
    const OpenOutcome outcome = input.open(folder.write(name, bytes).string(), "");
    EXPECT_FALSE(outcome.opened) << name;
    return outcome.message ? outcome.message->title + ": " + outcome.message->text : "";
  }

  ScratchFolder folder;
  UrlInput input;
};

using Urls = std::vector<std::string>;

TEST_F(UrlInputTest, PlainTextSkipsBlankLinesAndTrimsBlanksOnly) {
  EXPECT_EQ(urlsOf("list.txt", "\n   \nhttp://a.example/  \r\n  http://b.example/\r\rexample.com/page\n\thttp://c.example/"),
            (Urls{"http://a.example/", "http://b.example/", "example.com/page", "%09http://c.example/"}));
}

TEST_F(UrlInputTest, LastLineWithoutLineBreakAndEveryLineBreakKind) {
  EXPECT_EQ(urlsOf("list.tsv", "http://a/1\rhttp://a/2\nhttp://a/3\r\nhttp://a/4"),
            (Urls{"http://a/1", "http://a/2", "http://a/3", "http://a/4"}));
}

TEST_F(UrlInputTest, AZeroByteInsideALineDoesNotEndIt) {
  const Urls urls = urlsOf("zero.txt", std::string("http://a/1\0x\nhttp://a/2\0\r\nhttp://a/3", 36));
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_TRUE(urls[0].starts_with("http://a/1") && urls[0].ends_with("x")) << urls[0];
  EXPECT_TRUE(urls[1].starts_with("http://a/2") && urls[1].size() > 10) << urls[1];
  EXPECT_EQ(urls[2], "http://a/3");
}

TEST_F(UrlInputTest, CsvTakesTheFirstUrlFieldOfEachRecord) {
  EXPECT_EQ(urlsOf("list.CSV",
                   "name,url\n"
                   "Home,http://a.example/\n"
                   "Search,\"http://a.example/?q=1,2\"\n"
                   "Two,http://a.example/first,http://a.example/second\n"
                   "\"Long\nname\",\"http://a.example/joined\n/path\"\n"
                   "no url here,42\n"
                   "x\"\"y,ht\"tp://a.example/quoted-in-middle\"\n"),
            (Urls{"http://a.example/", "http://a.example/?q=1,2", "http://a.example/first", "http://a.example/joined/path",
                  "http://a.example/quoted-in-middle"}));
}

TEST_F(UrlInputTest, CsvFileEndingInsideAnOpenQuoteYieldsTheJoinedRecord) {
  EXPECT_EQ(urlsOf("open.csv", "a,\"http://a.example/x\nstill,open"), (Urls{"http://a.example/xstill,open"}));
}

TEST_F(UrlInputTest, SpreadsheetCsvsWithSemicolonsOrTabsAreReadByTheirFirstRecord) {
  EXPECT_EQ(urlsOf("de.csv", "Name;Adresse\nA;http://a.example/x,y\nB;\"http://a.example/q;1\"\n"),
            (Urls{"http://a.example/x,y", "http://a.example/q;1"}));
  EXPECT_EQ(urlsOf("tabs.csv", "name\turl\nA\thttp://a.example/t\n"), (Urls{"http://a.example/t"}));
  // A comma in the first record keeps the comma, whatever follows.
  EXPECT_EQ(urlsOf("plain.csv", "name,url\nA;B,http://a.example/c\n"), (Urls{"http://a.example/c"}));
  EXPECT_EQ(urlsOf("caps.csv", "HTTPS://A.example/Caps\n"), (Urls{"https://A.example/Caps"}));
}

TEST_F(UrlInputTest, FirstUrlFieldRules) {
  EXPECT_EQ(firstUrlField("a,b,https://x/,http://y/"), "https://x/");
  EXPECT_EQ(firstUrlField("\"http://x/a,b\"c"), "http://x/a,bc");
  EXPECT_EQ(firstUrlField("HTTP://x/"), "HTTP://x/");  // schemes ignore case
  EXPECT_EQ(firstUrlField(" http://x/"), "");  // fields are not trimmed
  EXPECT_EQ(firstUrlField(""), "");
}

TEST_F(UrlInputTest, SitemapServesEachLocThenItsMediaInDocumentOrder) {
  const std::string sitemap = R"(<?xml version="1.0" encoding="UTF-8"?>
<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9"
        xmlns:image="http://www.google.com/schemas/sitemap-image/1.1"
        xmlns:video="http://www.google.com/schemas/sitemap-video/1.1">
  <url>
    <image:image><image:loc> http://a.example/img1.jpg </image:loc></image:image>
    <video:video>
      <video:thumbnail_loc>http://a.example/thumb.jpg</video:thumbnail_loc>
      <video:title>not a URL</video:title>
      <video:content_loc>http://a.example/video.mp4</video:content_loc>
      <video:uploader info="http://a.example/uploader">someone</video:uploader>
    </video:video>
    <loc>
      http://a.example/page
    </loc>
    <image:image><image:caption>first child is no loc</image:caption><image:loc>http://a.example/skipped.jpg</image:loc></image:image>
    <image:image><image:loc>http://a.example/img2.jpg</image:loc></image:image>
    <img:image xmlns:img="http://www.google.com/schemas/sitemap-image/1.1"><img:loc>http://a.example/other-prefix.jpg</img:loc></img:image>
  </url>
  <url><image:image><image:loc>http://a.example/orphan.jpg</image:loc></image:image></url>
  <notaurl><loc>http://a.example/ignored</loc></notaurl>
  <url><loc><![CDATA[http://a.example/cdata?a=1&b=2]]></loc></url>
  <url><loc>http://a.example/first</loc><loc>http://a.example/later-wins</loc></url>
</urlset>)";
  EXPECT_EQ(urlsOf("sitemap.xml", sitemap),
            (Urls{"http://a.example/page", "http://a.example/img1.jpg", "http://a.example/thumb.jpg",
                  "http://a.example/video.mp4", "http://a.example/uploader", "http://a.example/img2.jpg",
                  "http://a.example/cdata?a=1&b=2", "http://a.example/orphan.jpg", "http://a.example/later-wins"}));
}

TEST_F(UrlInputTest, MediaOfALastEntryWithoutLocAreNotLost) {
  EXPECT_EQ(urlsOf("tail.xml",
                   "<urlset><url><loc>http://a/1</loc></url>"
                   "<url><image:image><image:loc>http://a/img</image:loc></image:image></url></urlset>"),
            (Urls{"http://a/1", "http://a/img"}));
}

TEST_F(UrlInputTest, SitemapRefusals) {
  EXPECT_EQ(refusal("feed.xml", "<rss><channel><item/></channel></rss>"), "Error: Not an XML sitemap. No <urlset> tag.");
  EXPECT_EQ(refusal("prefixed.xml", "<s:urlset xmlns:s=\"x\"><s:url/></s:urlset>"),
            "Error: Not an XML sitemap. No <urlset> tag.");
  EXPECT_EQ(refusal("broken.xml", "<urlset>\n  <url><loc>http://a/</url>\n</urlset>"),
            "Error: Error in the XML file:\rMessage: mismatched tag\rLine: 2   Character: 23");
  EXPECT_EQ(refusal("empty.xml", "<urlset>\n</urlset>"), "");
}

TEST_F(UrlInputTest, GzipSitemapsAreToldByTheirBytesAndUnpacked) {
  const std::string xml = urlsetOf({"http://a.example/1", "http://a.example/2"});
  const Urls urls{"http://a.example/1", "http://a.example/2"};
  EXPECT_EQ(urlsOf("sitemap.xml.gz", gzipped(xml)), urls);
  // Members one after another are one stream, as gunzip reads them; padding after them is ignored.
  EXPECT_EQ(urlsOf("sitemap.xml", gzipped(xml.substr(0, 100)) + gzipped(xml.substr(100)) + std::string(8, '\0')), urls);
  EXPECT_EQ(refusal("cut.xml.gz", gzipped(xml).substr(0, 40)), "Error: Cannot unpack the gzip data: it is damaged or cut short");
}

TEST_F(UrlInputTest, HostileSitemapsAreRefusedBeforeTheyCostMuch) {
  const std::string bomb = gzipBomb(kMaxSitemapBytes >> 20);
  ASSERT_LT(bomb.size(), size_t{1} << 20);
  const std::string file = (folder / "bomb.xml.gz").string();
  EXPECT_EQ(refusal("bomb.xml.gz", bomb),
            "Error: " + file + ": unpacks to more than 100 MB, more than any sitemap may hold: refused as a likely gzip bomb");
  // Entity expansion ("billion laughs"): no entity is ever declared, so none is expanded.
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [\n<!ENTITY a \"aaaaaaaaaaaaaaaa\">\n"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n]>\n<urlset><url><loc>http://a/&b;</loc></url></urlset>";
  EXPECT_EQ(refusal("laughs.xml", laughs),
            "Error: Error in the XML file:\rMessage: entity declarations are refused in a sitemap\rLine: 3   Character: 11");
}

TEST_F(UrlInputTest, AnIndexFileNeedsAFetcherForItsSitemaps) {
  // As the CLI's counter of a list's URLs opens it: it cannot fetch, and says so.
  EXPECT_EQ(refusal("index.xml", sitemapIndexOf({"http://a/s.xml", "relative.xml"})),
            "Error: No sitemap could be read:\rhttp://a/s.xml: not fetched: no connection to fetch it with\r"
            "relative.xml: not an http or https URL");
}

// The text in UTF-16 of either byte order, after its byte-order mark.
std::string utf16WithMark(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const auto low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST_F(UrlInputTest, EncodingsFromTheByteOrderMark) {
  // The emoji's surrogate pair straddles the reader's first 64 KB chunk.
  const std::u16string padding(32767 - 17, u'x');
  const std::u16string text = u"http://a.example/" + padding + u"\U0001F600\r\nhttp://a.example/caf\u00e9\r\nhttp://a.example/\u65e5\n";
  const Urls expected{"http://a.example/" + std::string(padding.size(), 'x') + "%F0%9F%98%80",
                      "http://a.example/caf%C3%A9", "http://a.example/%E6%97%A5"};
  EXPECT_EQ(urlsOf("utf16le.txt", utf16WithMark(text, false)), expected);
  EXPECT_EQ(urlsOf("utf16be.txt", utf16WithMark(text, true)), expected);
  EXPECT_EQ(urlsOf("utf16be.csv", utf16WithMark(u"name;url\nA;http://a.example/\u00fc\n", true)),
            Urls{"http://a.example/%C3%BC"});
  EXPECT_EQ(urlsOf("utf8.txt", "\xEF\xBB\xBFhttp://a.example/caf\xC3\xA9\nhttp://a.example/caf\xE9\n"),
            (Urls{"http://a.example/caf%C3%A9", "http://a.example/caf%EF%BF%BD"}));  // a bad byte is replaced
  // Without a mark: a valid UTF-8 line is UTF-8, any other line one character per byte.
  EXPECT_EQ(urlsOf("plain.txt", "http://a.example/caf\xC3\xA9\nhttp://a.example/caf\xE9\n"),
            (Urls{"http://a.example/caf%C3%A9", "http://a.example/caf%C3%A9"}));
  EXPECT_EQ(refusal("be32.txt", std::string("\0\0\xFE\xFF", 4)), "Error: Unsupported text encoding format");
}

TEST_F(UrlInputTest, UnreadableFileIsNamedInItsMessage) {
  for (const std::string& name : {(folder / "missing.txt").string(), folder.path().string()}) {
    const OpenOutcome outcome = input.open(name, "");
    ASSERT_FALSE(outcome.opened) << name;
    EXPECT_EQ(outcome.message->text, "There was an error trying to open " + name);
  }
}

TEST_F(UrlInputTest, ManualTextSplitsAtCrLfAndTrimsBlanks) {
  ASSERT_TRUE(input.open("", "http://a/1\r\n\r\n  http://a/2 \r\nhttp://a/3\n").opened);
  EXPECT_EQ(drain(), (Urls{"http://a/1", "http://a/2", "http://a/3%0A"}));
}

TEST_F(UrlInputTest, PendingUrlsComeFirstAndOnlyHttpOnesAreQueued) {
  ASSERT_TRUE(input.open("", "http://a/source").opened);
  input.queuePending("http://a/queued");
  input.queuePending("ftp://a/never");
  input.queuePending("HTTP://a/upper");  // schemes ignore case; it goes out in lower case
  EXPECT_EQ(drain(), (Urls{"http://a/queued", "http://a/upper", "http://a/source"}));
  input.queuePending("http://a/stale");
  ASSERT_TRUE(input.open("", "").opened);  // opening empties the queue
  std::string url = "left over";
  EXPECT_EQ(input.next(url), UrlOrigin::None);
  EXPECT_EQ(url, "");
}

TEST_F(UrlInputTest, LinesLongerThanTheCapAreCut) {
  const std::string longLine = "http://a/" + std::string(kMaxLineBytes + 100, 'x');
  const Urls urls = urlsOf("long.txt", longLine + "\nhttp://a/next\n");
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[0].size(), kMaxLineBytes);
  EXPECT_EQ(urls[1], "http://a/next");
}

TEST(SourceKindTest, ExtensionDecidesIgnoringCase) {
  EXPECT_EQ(sourceKindOf("list.CSV"), SourceKind::Csv);
  EXPECT_EQ(sourceKindOf("/x.y/sitemap.Xml"), SourceKind::Sitemap);
  EXPECT_EQ(sourceKindOf("list.tsv"), SourceKind::PlainText);
  EXPECT_EQ(sourceKindOf("csv"), SourceKind::PlainText);
  EXPECT_EQ(sourceKindOf("sitemap-1.XML.gz"), SourceKind::Sitemap);
  EXPECT_EQ(sourceKindOf("list.txt.gz"), SourceKind::PlainText);
  EXPECT_EQ(sourceKindOf("gz"), SourceKind::PlainText);
}

TEST(RobotsTxtTest, SitemapLinesInAnyCaseWithoutTheirComments) {
  EXPECT_EQ(sitemapsOfRobotsTxt("User-agent: *\r\nDisallow: /private\r\nSitemap: http://a/s1.xml\n"
                                "  sitemap:http://a/s2.xml.gz # the main one\n# Sitemap: http://a/commented\n"
                                "SITEMAP:\t http://a/s3.xml\rSitemaps: http://a/not-the-field\nSitemap:\n"),
            (std::vector<std::string>{"http://a/s1.xml", "http://a/s2.xml.gz", "http://a/s3.xml"}));
  EXPECT_TRUE(isRobotsTxtUrl("https://a.example/robots.txt"));
  EXPECT_TRUE(isRobotsTxtUrl("HTTP://a.example:8080/ROBOTS.TXT?x=1"));
  EXPECT_FALSE(isRobotsTxtUrl("https://a.example/shop/robots.txt"));
  EXPECT_FALSE(isRobotsTxtUrl("https://a.example/robots.txt.xml"));
}

}  // namespace
}  // namespace tallyvane

namespace tallyvane {
namespace {

TEST(CanonicalVariantsTest, EachUrlIsFollowedByItsOtherFormsWhichAreNotExpandedAgain) {
  CrawlSetup setup;
  setup.testMode = TestMode::Canonical;
  const CrawlStages stages = crawlStagesFor(Settings{}, setup);
  ASSERT_TRUE(stages.expand);
  setup.canonical.onlyInputUrls = true;
  EXPECT_FALSE(crawlStagesFor(Settings{}, setup).expand);

  UrlInput input;
  input.open("",
             "http://Example.com/p?q#a\r\nhttps://www.shop.example/\r\nhttps://shop.site.example/\r\n"
             "http://localhost/\r\nhttps://awww.example/");
  std::vector<std::string> urls;
  // As a worker does: only what the list gave is expanded; the variants come back queued.
  std::string url;
  for (UrlOrigin origin; (origin = input.next(url)) != UrlOrigin::None;) {
    urls.push_back(url);
    if (origin == UrlOrigin::List) {
      for (const std::string& variant : stages.expand(url)) input.queuePending(variant);
    }
  }
  EXPECT_EQ(urls, (std::vector<std::string>{
                      "http://Example.com/p?q#a", "https://Example.com/p?q#a", "https://www.example.com/p?q#a",
                      "http://www.example.com/p?q#a",  // the www forms carry the lower-cased host
                      "https://www.shop.example/", "http://www.shop.example/", "https://shop.example/",
                      "http://shop.example/", "https://shop.site.example/",
                      "http://shop.site.example/",  // two dots: protocol only
                      "http://localhost/",          // no dot: nothing
                      "https://awww.example/", "http://awww.example/", "https://www.awww.example/",
                      "http://www.awww.example/",  // "www." counts only as the first label
                  }));
}

}  // namespace
}  // namespace tallyvane
