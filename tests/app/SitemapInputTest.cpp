// Crawls of sitemaps named by URL: indexes followed to their gzip children, robots.txt, sitemaps
// that fail, gzip bombs and an abort while a sitemap is fetched.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/Crawl.h"
#include "demo/ScriptedHttpServer.h"
#include "tests/support/CurlEnvironment.h"
#include "tests/support/Eventually.h"
#include "tests/support/RecordingInterface.h"
#include "tests/support/Sitemaps.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

using Texts = std::vector<std::string>;

class SitemapInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.fallback([](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"}); });
  }

  // Serves body at path as the given content type, with any further header lines.
  void serve(const std::string& path, std::string body, const std::string& type = "application/xml",
             std::vector<std::string> headers = {}) {
    headers.push_back("Content-Type: " + type);
    server.route(path, [body = std::move(body), headers](const ReceivedRequest& r) {
      return reply(r, "HTTP/1.1 200 OK", headers, body);
    });
  }

  // Starts a crawl of the input URL.
  void start(const std::string& input) {
    CrawlRequest request;
    request.inputFile = input;
    request.threads = 3;
    request.settings = settings;
    request.connection = connection;
    request.sink = std::make_shared<StoreSink>(store, TestMode::None);
    crawl_ = std::make_unique<Crawl>(curlApi(), urlInput, ui);
    crawl_->start(request);
  }
  CrawlEnd check(const std::string& input) {
    start(input);
    crawl_->wait();
    return crawl_->end();
  }

  Texts checkedUrls() const {
    Texts urls;
    for (int64_t i = 0; i < store.count(); ++i) urls.emplace_back(store.recordAtIndex(i)->first().url);
    std::sort(urls.begin(), urls.end());
    return urls;
  }
  Texts pages(const Texts& paths) const {
    Texts urls;
    for (const std::string& path : paths) urls.push_back(server.url(path));
    std::sort(urls.begin(), urls.end());
    return urls;
  }

  ScriptedHttpServer server;
  Settings settings;
  ConnectionOptions connection;
  ResultStore store;
  UrlInput urlInput;
  RecordingInterface ui;
  std::unique_ptr<Crawl> crawl_;
};

TEST_F(SitemapInputTest, AnIndexIsFollowedToItsGzipChildrenEachReadOnceWithTheRunsRequestSettings) {
  // A name only the run's host overrides lead to the server.
  const std::string origin = "http://sitemaps.example:" + std::to_string(server.port());
  connection.resolve = {"sitemaps.example:" + std::to_string(server.port()) + ":127.0.0.1"};
  settings.requestUserAgent = "SitemapReader/2.0";
  settings.UseCustomHeaders = 1;
  settings.CustomHeaders = "X-Team: seo";
  serve("/sitemap_index.xml", sitemapIndexOf({origin + "/products.xml.gz", origin + "/pages.xml", origin + "/more.xml"}));
  // A .xml.gz file as it is, and a sitemap the server packs itself (unasked).
  serve("/products.xml.gz", gzipped(urlsetOf({server.url("/p1"), server.url("/p2")})), "application/x-gzip");
  serve("/pages.xml", gzipped(urlsetOf({server.url("/about")})), "application/xml", {"Content-Encoding: gzip"});
  // A nested index naming its parent and a sitemap already read: neither is fetched again.
  serve("/more.xml", sitemapIndexOf({origin + "/sitemap_index.xml", origin + "/products.xml.gz", "/late.xml"}));
  serve("/late.xml", urlsetOf({server.url("/late")}));

  EXPECT_EQ(check(origin + "/sitemap_index.xml"), CrawlEnd::Finished);
  EXPECT_EQ(ui.messages(), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(checkedUrls(), pages({"/p1", "/p2", "/about", "/late"}));
  for (const std::string path : {"/sitemap_index.xml", "/products.xml.gz", "/pages.xml", "/more.xml", "/late.xml"}) {
    EXPECT_EQ(server.requestCount(path), 1u) << path;
  }
  for (const ReceivedRequest& request : server.requests()) {
    if (!request.path().ends_with(".xml") && !request.path().ends_with(".gz")) continue;
    EXPECT_EQ(request.method, "GET") << request.target;
    EXPECT_EQ(request.header("Host"), "sitemaps.example:" + std::to_string(server.port())) << request.target;
    EXPECT_EQ(request.header("User-Agent"), "SitemapReader/2.0") << request.target;
    EXPECT_EQ(request.header("X-Team"), "seo") << request.target;
  }
  EXPECT_EQ(ui.field(kUrlsField), "URLs: 4");  // the reading progress gave way to the crawl's
}

TEST_F(SitemapInputTest, SitemapsThatCannotBeReadAreNamedWithTheirStatusAndTheOthersAreChecked) {
  serve("/index.xml", sitemapIndexOf({server.url("/good.xml"), server.url("/gone.xml"), server.url("/broken.xml"),
                                      server.url("/bomb.xml.gz"), server.url("/down.xml"), server.url("/last.xml")}));
  serve("/good.xml", urlsetOf({server.url("/g1"), server.url("/g2")}));
  server.route("/gone.xml", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 404 Not Found"); });
  serve("/broken.xml", "<urlset><url><loc>" + server.url("/never") + "</url></urlset>");
  serve("/bomb.xml.gz", gzipBomb(kMaxSitemapBytes >> 20), "application/gzip");
  server.route("/down.xml", [](const ReceivedRequest&) { return ScriptedReply{"", {}, false, true}; });
  serve("/last.xml", gzipped(urlsetOf({server.url("/l1")})), "application/octet-stream");

  EXPECT_EQ(check(server.url("/index.xml")), CrawlEnd::Finished);
  EXPECT_EQ(checkedUrls(), pages({"/g1", "/g2", "/l1"}));
  const Texts messages = ui.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].substr(0, messages[0].find("\r" + server.url("/down.xml"))),
            "Warning: Not every sitemap could be read; the URLs of the others are checked:\r" +
                server.url("/gone.xml") + ": 404 Not Found\r" +
                server.url("/broken.xml") + ": Error in the XML file: Message: mismatched tag Line: 1   Character: " +
                std::to_string(std::string("<urlset><url><loc>" + server.url("/never") + "</").size()) + "\r" +
                server.url("/bomb.xml.gz") +
                ": unpacks to more than 100 MB, more than any sitemap may hold: refused as a likely gzip bomb");
  EXPECT_TRUE(messages[0].find("\r" + server.url("/down.xml") + ": LibCurl:") != std::string::npos) << messages[0];
  EXPECT_EQ(messages[1], "Success: Tallyvane has finished checking all URLs");
}

TEST_F(SitemapInputTest, AnInputThatCannotBeReadStartsNoCrawlAndSaysWhy) {
  server.route("/gone.xml", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 410 Gone"); });
  EXPECT_EQ(check(server.url("/gone.xml")), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages(), Texts{"Error: There was an error trying to load " + server.url("/gone.xml") + ": 410 Gone"});

  serve("/bomb.xml.gz", gzipBomb(kMaxSitemapBytes >> 20), "application/gzip");
  EXPECT_EQ(check(server.url("/bomb.xml.gz")), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages().back(), "Error: " + server.url("/bomb.xml.gz") +
                                      ": unpacks to more than 100 MB, more than any sitemap may hold: refused as a "
                                      "likely gzip bomb");

  // An answer without end is cut off at the cap, not read into memory for ever.
  server.route("/endless.xml", [](const ReceivedRequest&) {
    ScriptedReply endless{"HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\n\r\n<urlset>"};
    endless.repeat = "<!--" + std::string(65536, '-') + "-->";
    return endless;
  });
  EXPECT_EQ(check(server.url("/endless.xml")), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages().back(), "Error: There was an error trying to load " + server.url("/endless.xml") +
                                      ": LibCurl:Response body larger than 100 MB");

  serve("/index.xml", sitemapIndexOf({server.url("/gone.xml")}));
  EXPECT_EQ(check(server.url("/index.xml")), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages().back(), "Error: No sitemap could be read:\r" + server.url("/gone.xml") + ": 410 Gone");
  EXPECT_EQ(store.count(), 0);
}

TEST_F(SitemapInputTest, ARobotsTxtGivesTheSitemapsOfItsSitemapLines) {
  // Moved to https in real life; a redirect to the same server here.
  server.route("/robots.txt", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/robots-live.txt"); });
  serve("/robots-live.txt",
        "User-agent: *\nDisallow: /cart\n\nSitemap: " + server.url("/index.xml") + "\nsitemap: /news.xml.gz # relative\n",
        "text/plain");
  serve("/index.xml", sitemapIndexOf({server.url("/posts.xml")}));
  serve("/posts.xml", urlsetOf({server.url("/post-1"), server.url("/post-2")}));
  serve("/news.xml.gz", gzipped(urlsetOf({server.url("/news-1")})), "application/gzip");

  EXPECT_EQ(check(server.url("/robots.txt")), CrawlEnd::Finished);
  EXPECT_EQ(checkedUrls(), pages({"/post-1", "/post-2", "/news-1"}));
  EXPECT_EQ(ui.messages(), Texts{"Success: Tallyvane has finished checking all URLs"});

  serve("/robots.txt", "User-agent: *\nDisallow:\n", "text/plain");
  EXPECT_EQ(check(server.url("/robots.txt")), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages().back(), "Error: No \"Sitemap:\" line in " + server.url("/robots.txt"));
}

TEST_F(SitemapInputTest, AbortWhileASitemapIsFetchedEndsTheCrawlAtOnce) {
  settings.TimeoutSeconds = 0;  // none: only the abort can end the hanging transfer
  serve("/index.xml", sitemapIndexOf({server.url("/hangs.xml"), server.url("/never.xml")}));
  server.route("/hangs.xml", [](const ReceivedRequest&) { return ScriptedReply{"", {}, true}; });
  start(server.url("/index.xml"));
  ASSERT_TRUE(eventually([&] { return server.requestCount("/hangs.xml") == 1; }, "the crawl fetches /hangs.xml"));
  EXPECT_EQ(ui.field(kUrlsField), "Reading sitemap 1 of 2: " + server.url("/hangs.xml"));
  crawl_->stop();
  ASSERT_TRUE(crawl_->waitFor(kEventDeadline)) << "the stopped crawl did not end its sitemap fetch";
  crawl_->wait();
  EXPECT_EQ(crawl_->end(), CrawlEnd::Aborted);
  EXPECT_EQ(ui.messages(), Texts{"Aborted: Tallyvane has aborted checking URLs"});
  EXPECT_EQ(server.requestCount("/never.xml"), 0u);
  EXPECT_EQ(store.count(), 0);
}

}  // namespace
}  // namespace tallyvane::testing
