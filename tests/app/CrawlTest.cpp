#include "app/Crawl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/support/CurlEnvironment.h"
#include "tests/support/Eventually.h"
#include "tests/support/RecordingInterface.h"
#include "tests/support/ScratchFolder.h"
#include "demo/ScriptedHttpServer.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

using std::chrono::milliseconds;

class CrawlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.fallback([](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"}); });
  }

  Crawl& crawl() {
    if (!crawl_) crawl_ = std::make_unique<Crawl>(curlApi(), input, ui);
    return *crawl_;
  }

  // A request into the store, with the settings as the test has set them.
  CrawlRequest newRequest(TestMode testMode = TestMode::None) {
    CrawlRequest request;
    request.settings = settings;
    request.sink = std::make_shared<StoreSink>(*store, testMode);
    return request;
  }

  // Runs a crawl of the given lines to its end.
  CrawlEnd check(const std::vector<std::string>& lines, int threads = 4) {
    CrawlRequest request = newRequest();
    for (const std::string& line : lines) request.manualText += line + "\r\n";
    request.threads = threads;
    crawl().start(request);
    crawl().wait();
    return crawl().end();
  }

  std::vector<std::string> storedUrls() const {
    std::vector<std::string> urls;
    for (int64_t i = 0; i < store->count(); ++i) urls.emplace_back(store->recordAtIndex(i)->first().url);
    std::sort(urls.begin(), urls.end());
    return urls;
  }

  ScriptedHttpServer server;
  Settings settings;
  std::unique_ptr<ResultStore> store = std::make_unique<ResultStore>();
  UrlInput input;
  RecordingInterface ui;

 private:
  std::unique_ptr<Crawl> crawl_;
};

using Texts = std::vector<std::string>;

TEST_F(CrawlTest, EmptyInputFinishesAtOnce) {
  EXPECT_EQ(check({}), CrawlEnd::Finished);
  EXPECT_EQ(ui.messages(), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(store->count(), 0);
  EXPECT_EQ(ui.busyChanges(), std::vector<bool>{false});
  EXPECT_EQ(ui.field(kThreadsField), "Threads: 4");
}

TEST_F(CrawlTest, OtherSchemesAreSkippedAndRepeatedUrlsCheckedOnce) {
  server.route("/moved", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/a"); });
  EXPECT_EQ(check({"ftp://files.example/list", server.url("/a"), "example.com/page", server.url("/a"),
                   server.url("/moved"), server.url("/a")}),
            CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), (Texts{server.url("/a"), server.url("/moved")}));
  EXPECT_EQ(server.requestCount("/a"), 2u);  // once listed, once as the redirect target
  EXPECT_EQ(crawl().linesSkipped(), 2);
  EXPECT_EQ(ui.field(kUrlsField), "URLs: 2");
  EXPECT_EQ(ui.field(kResponsesField), "Responses: 3");
  EXPECT_TRUE(ui.field(kSpeedField).starts_with("Speed: "));
  EXPECT_TRUE(ui.field(kSpeedField).ends_with(" Responses per Second"));
}

TEST_F(CrawlTest, MoreThreadsThanUrlsFinishNormally) {
  EXPECT_EQ(check({server.url("/1"), server.url("/2"), server.url("/3")}, 200), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 3);
  EXPECT_EQ(ui.field(kThreadsField), "Threads: 200");
  EXPECT_EQ(ui.messages(), Texts{"Success: Tallyvane has finished checking all URLs"});
}

TEST_F(CrawlTest, AbortKeepsWhatWasFinished) {
  settings.TimeoutSeconds = 0;  // none: only the abort can end the hanging transfer
  server.route("/hang", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  CrawlRequest request = newRequest();
  for (int i = 0; i < 5; ++i) request.manualText += server.url("/fast" + std::to_string(i)) + "\r\n";
  request.manualText += server.url("/hang") + "\r\n" + server.url("/never") + "\r\n";
  request.threads = 1;
  crawl().start(request);
  ASSERT_TRUE(eventually([&] { return server.requestCount("/hang") == 1; }, "the crawl reaches /hang"));
  crawl().stop();
  ASSERT_TRUE(crawl().waitFor(kEventDeadline)) << "the stopped crawl did not end its hanging transfer";
  crawl().wait();
  EXPECT_EQ(crawl().end(), CrawlEnd::Aborted);
  EXPECT_EQ(ui.messages(), Texts{"Aborted: Tallyvane has aborted checking URLs"});
  EXPECT_EQ(store->count(), 5);
  EXPECT_EQ(server.requestCount("/never"), 0u);
}

TEST_F(CrawlTest, ServersThatNeverAnswerCannotStallTheCrawl) {
  settings.TimeoutSeconds = 1;
  server.route("/silent", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  std::vector<std::string> urls;
  for (int i = 0; i < 40; ++i) urls.push_back(server.url(i % 5 == 0 ? "/silent?" : "/good?") + std::to_string(i));
  EXPECT_EQ(check(urls, 4), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 40);
  EXPECT_EQ(store->rowCount({false, Filter::NoResponseTimeout}), 8);
}

TEST_F(CrawlTest, AFatalErrorStopsEveryWorkerAndShowsOnlyItsMessage) {
  store = std::make_unique<ResultStore>(ResultStoreOptions{.memoryLimitBytes = 0});
  std::vector<std::string> urls;
  for (int i = 0; i < 50; ++i) urls.push_back(server.url("/" + std::to_string(i)));
  EXPECT_EQ(check(urls, 8), CrawlEnd::Failed);
  EXPECT_EQ(ui.messages(), Texts{"Error: Not enough memory!"});
  EXPECT_EQ(store->count(), 0);
  EXPECT_LT(server.requests().size(), 50u);
}

TEST_F(CrawlTest, AnInputThatCannotBeOpenedStartsNothing) {
  CrawlRequest request = newRequest();
  request.inputFile = "/nonexistent/list.txt";
  crawl().start(request);
  crawl().wait();
  EXPECT_EQ(crawl().end(), CrawlEnd::NotStarted);
  EXPECT_EQ(ui.messages(), Texts{"Error: There was an error trying to open /nonexistent/list.txt"});
  EXPECT_EQ(ui.busyChanges(), std::vector<bool>{false});
}

TEST_F(CrawlTest, HeaderLinksAreCheckedInTheSameCrawlWhenEnabled) {
  server.route("/page", [this](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 200 OK",
                 {"Link: <" + server.url("/page") + ">; rel=canonical, </de/>; rel=alternate; hreflang=de"});
  });
  EXPECT_EQ(check({server.url("/page")}, 1), CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), Texts{server.url("/page")});
  EXPECT_EQ(store->recordAtIndex(0)->first().linkCount, 2);
  EXPECT_STREQ(store->recordAtIndex(0)->first().links[1].hreflang, "[de]");

  store->clear();
  settings.CheckLinksInHeaders = 1;
  EXPECT_EQ(check({server.url("/page")}, 1), CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), (Texts{server.url("/de/"), server.url("/page")}));
  EXPECT_EQ(server.requestCount("/page"), 2u);  // once per crawl
}

TEST_F(CrawlTest, SitemapFileEndToEnd) {
  ScratchFolder folder;
  const auto sitemap = folder.write(
      "sitemap.xml", "<urlset><url><loc>" + server.url("/p?a=1&amp;b=2") + "</loc><image:image><image:loc>" +
                         server.url("/img.png") + "</image:loc></image:image></url><url><loc>" +
                         server.url("/x/../y") + "</loc></url></urlset>");
  CrawlRequest request = newRequest();
  request.inputFile = sitemap.string();
  request.threads = 2;
  crawl().start(request);
  crawl().wait();
  EXPECT_EQ(crawl().end(), CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), (Texts{server.url("/img.png"), server.url("/p?a=1&b=2"), server.url("/y")}));
}

TEST_F(CrawlTest, LaterStagesPlugInBeforeAndAfterEachUrl) {
  int changes = 0;
  CrawlStages stages;
  stages.rewrite = [this](std::string url) { return url.ends_with("/old") ? server.url("/new") : url; };
  stages.evaluate = [](HopRow hops, int redirectCount) {
    hops[0].testPassed = redirectCount == 0 ? 1 : 0;
    hops[0].testNote = "[checked]";
  };
  crawl().setStages(std::move(stages));
  crawl().setResultsChanged([&changes] { ++changes; });
  CrawlRequest request = newRequest(TestMode::Mapping);
  request.manualText = server.url("/old") + "\r\n" + server.url("/other") + "\r\n";
  request.threads = 1;
  crawl().start(request);
  crawl().wait();
  EXPECT_EQ(storedUrls(), (Texts{server.url("/new"), server.url("/other")}));
  EXPECT_EQ(server.requestCount("/old"), 0u);
  EXPECT_STREQ(store->recordAtIndex(0)->testReason, "[checked]");
  EXPECT_EQ(store->recordAtIndex(0)->testPassed, 1);
  EXPECT_EQ(changes, 2);
}

TEST_F(CrawlTest, ARewriteToNothingSkipsThatUrlOnly) {
  CrawlStages stages;
  stages.rewrite = [](std::string url) { return url.ends_with("/skip") ? std::string() : url; };
  crawl().setStages(std::move(stages));
  EXPECT_EQ(check({server.url("/skip"), server.url("/a")}, 1), CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), Texts{server.url("/a")});
}

TEST_F(CrawlTest, QuittingDuringACrawlShowsNothingMore) {
  server.route("/hang", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  CrawlRequest request = newRequest();
  request.manualText = server.url("/hang") + "\r\n";
  request.threads = 1;
  crawl().start(request);
  ASSERT_TRUE(eventually([&] { return server.requestCount("/hang") == 1; }, "the crawl reaches /hang"));
  crawl().setExiting();
  crawl().stop();
  crawl().wait();
  EXPECT_EQ(crawl().end(), CrawlEnd::Aborted);
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_TRUE(ui.busyChanges().empty());
}

TEST_F(CrawlTest, ACrawlCanFollowAnother) {
  EXPECT_EQ(check({server.url("/1")}), CrawlEnd::Finished);
  store->clear();
  EXPECT_EQ(check({server.url("/1"), server.url("/2")}), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 2);
  EXPECT_EQ(ui.field(kUrlsField), "URLs: 2");
}

}  // namespace
}  // namespace tallyvane::testing
