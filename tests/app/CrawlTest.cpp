#include "app/Crawl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

  // Starts a crawl of the given lines.
  void start(const std::vector<std::string>& lines, int threads) {
    CrawlRequest request = newRequest();
    for (const std::string& line : lines) request.manualText += line + "\r\n";
    request.threads = threads;
    crawl().start(request);
  }
  // Runs a crawl of the given lines to its end.
  CrawlEnd check(const std::vector<std::string>& lines, int threads = 4) {
    start(lines, threads);
    crawl().wait();
    return crawl().end();
  }
  // Aborts the crawl and waits for its end, which must come.
  void abortAndWait() {
    crawl().stop();
    ASSERT_TRUE(crawl().waitFor(kEventDeadline)) << "the stopped crawl did not end";
    crawl().wait();
    EXPECT_EQ(crawl().end(), CrawlEnd::Aborted);
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

TEST_F(CrawlTest, AResumedCrawlChecksTheHeaderLinksOfTheResultsItKeeps) {
  server.route("/page", [this](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 200 OK", {"Link: <" + server.url("/page") + ">; rel=canonical, </de/>; rel=alternate"});
  });
  server.route("/de/", [this](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 200 OK", {"Link: <" + server.url("/page") + ">; rel=alternate"});
  });
  // Killed before /de/ was reached: /page is kept with its links, /de/ never checked.
  EXPECT_EQ(check({server.url("/page")}, 1), CrawlEnd::Finished);
  ASSERT_EQ(storedUrls(), Texts{server.url("/page")});

  settings.CheckLinksInHeaders = 1;
  EXPECT_EQ(check({server.url("/page")}, 2), CrawlEnd::Finished);
  EXPECT_EQ(storedUrls(), (Texts{server.url("/de/"), server.url("/page")}));
  EXPECT_EQ(server.requestCount("/page"), 1u) << "a kept result was checked again";
  EXPECT_EQ(server.requestCount("/de/"), 1u);
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


// Politeness towards each host. The names *.localhost all reach the test server, each a host of
// its own; the server counts the requests it is answering per host name.
class PacedCrawlTest : public CrawlTest {
 protected:
  std::string at(std::string_view host, std::string_view path) const {
    return "http://" + std::string(host) + ".localhost:" + std::to_string(server.port()) + std::string(path);
  }
  // When the server received each request to host, in order.
  std::vector<ReceivedRequest> requestsTo(std::string_view host) const {
    std::vector<ReceivedRequest> seen;
    for (const ReceivedRequest& r : server.requests()) {
      if (r.hostName() == std::string(host) + ".localhost") seen.push_back(r);
    }
    std::sort(seen.begin(), seen.end(), [](const auto& x, const auto& y) { return x.received < y.received; });
    return seen;
  }
  const ResultRecord* recordOf(const std::string& url) const {
    for (int64_t i = 0; i < store->count(); ++i) {
      if (textOf(store->recordAtIndex(i)->first().url) == url) return store->recordAtIndex(i);
    }
    return nullptr;
  }
  void answerSlowly() {
    server.fallback([](const ReceivedRequest& r) {
      ScriptedReply slow = reply(r, "HTTP/1.1 200 OK");
      slow.delay = milliseconds(60);
      return slow;
    });
  }
};

TEST_F(PacedCrawlTest, NoHostEverHasMoreThanNRequestsInFlightAndNothingIsLostOrCheckedTwice) {
  answerSlowly();
  // Chains that cross hosts both ways: a slot is held for one request, never across hops.
  server.route("/to-b", [this](const ReceivedRequest& r) { return redirectTo(r, 301, at("b", "/from-a")); });
  server.route("/to-a", [this](const ReceivedRequest& r) { return redirectTo(r, 302, at("a", "/from-b")); });
  settings.MaxPerHost = 2;
  std::vector<std::string> urls;
  for (int i = 0; i < 12; ++i) {
    for (const char* host : {"a", "b", "c"}) urls.push_back(at(host, "/" + std::to_string(i)));
  }
  urls.push_back(at("a", "/to-b"));
  urls.push_back(at("b", "/to-a"));
  urls.push_back(at("a", "/3"));  // listed twice
  EXPECT_EQ(check(urls, 12), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 38);
  for (const char* host : {"a", "b", "c"}) {
    EXPECT_LE(server.mostInFlight(std::string(host) + ".localhost"), 2) << host;
    EXPECT_EQ(requestsTo(host).size(), host[0] == 'c' ? 12u : 14u) << host;
  }
  EXPECT_EQ(recordOf(at("a", "/to-b"))->last().statusCode, 200);
  EXPECT_EQ(crawl().listUrlsDone(), 39);

  // A list of one host runs at N requests at a time, whatever the thread count.
  store->clear();
  settings.MaxPerHost = 3;
  urls.clear();
  for (int i = 0; i < 30; ++i) urls.push_back(at("solo", "/" + std::to_string(i)));
  EXPECT_EQ(check(urls, 20), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 30);
  EXPECT_EQ(server.mostInFlight("solo.localhost"), 3);
}

TEST_F(PacedCrawlTest, AbortEndsWorkersWaitingForAFullHost) {
  settings.TimeoutSeconds = 0;
  settings.MaxPerHost = 1;
  server.route("/hang", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  std::vector<std::string> urls{at("a", "/hang")};
  for (int i = 0; i < 50; ++i) urls.push_back(at("a", "/" + std::to_string(i)));
  start(urls, 4);
  ASSERT_TRUE(eventually([&] { return server.requestCount("/hang") == 1; }, "the crawl reaches /hang"));
  abortAndWait();  // the workers waiting for the full host end too
  // Another worker may have reached the host first; once /hang held its one turn, nothing more
  // was asked of it, and every URL answered before is stored.
  const auto requests = server.requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().path(), "/hang");
  EXPECT_EQ(store->count(), static_cast<int64_t>(requests.size()) - 1);
}

TEST_F(PacedCrawlTest, TheDelaySeparatesTheStartsOfRequestsToOneHostAsTheServerSeesThem) {
  settings.HostDelayMs = 300;
  std::vector<std::string> urls;
  for (int i = 0; i < 4; ++i) {
    for (const char* host : {"a", "b"}) urls.push_back(at(host, "/" + std::to_string(i)));
  }
  EXPECT_EQ(check(urls, 6), CrawlEnd::Finished);
  EXPECT_EQ(store->count(), 8);
  for (const char* host : {"a", "b"}) {
    const auto seen = requestsTo(host);
    ASSERT_EQ(seen.size(), 4u) << host;
    // The client times each start before it connects, the server when the request is in: one
    // connection's slow set-up (sanitizers, a loaded machine) narrows the gap after it, but the
    // gaps add up, so only the first request's set-up can shorten the whole span. Each gap is
    // pinned against a clock of the test's own in the scheduler's tests; without the delay the
    // span is a few milliseconds.
    EXPECT_GE(seen.back().received - seen.front().received, milliseconds(3 * 300 - 300)) << host;
  }
  // Two hosts are not one: b's requests went on between a's.
  EXPECT_LT(requestsTo("b")[1].received, requestsTo("a")[2].received);
}

TEST_F(PacedCrawlTest, RetryAfterIsHonouredOnceWhileItsHostPausesAndTheOtherUrlsGoOn) {
  settings.RetryAfterLimitSeconds = 5;
  std::atomic<int> busyAnswers{0};
  server.route("/busy", [&busyAnswers](const ReceivedRequest& r) {
    if (busyAnswers++ == 0) return reply(r, "HTTP/1.1 429 Too Many Requests", {"Retry-After: 1"});
    return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"});
  });
  server.route("/always", [](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 503 Service Unavailable", {"Retry-After: 1"});
  });
  server.route("/too-long", [](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 429 Too Many Requests", {"Retry-After: 6"});
  });
  server.route("/moved", [this](const ReceivedRequest& r) { return redirectTo(r, 301, at("a", "/busy")); });
  // One thread: the other URLs can only go on if the wait does not hold it.
  EXPECT_EQ(check({at("m", "/moved"), at("a", "/1"), at("b", "/1"), at("b", "/2"), at("c", "/always"),
                   at("d", "/too-long"), at("a", "/2")},
                  1),
            CrawlEnd::Finished);
  ASSERT_EQ(store->count(), 7);

  // The hop is asked again once; the record holds the second answer after the first's headers.
  EXPECT_EQ(server.requestCount("/busy"), 2u);
  const ResultRecord* moved = recordOf(at("m", "/moved"));
  ASSERT_EQ(moved->responseCount, 2);
  EXPECT_EQ(moved->first().statusCode, 301);
  EXPECT_EQ(moved->last().statusCode, 200);
  EXPECT_EQ(textOf(moved->last().type), "text/html");
  const std::string headers = moved->last().rawHeaders.text();
  EXPECT_EQ(headers.find("HTTP/1.1 429 Too Many Requests\r\n"), 0u) << headers;
  EXPECT_NE(headers.find("HTTP/1.1 200 OK\r\n"), std::string::npos) << headers;

  // Host a got nothing from the 429 on until its Retry-After had passed; b went on meanwhile.
  const auto a = requestsTo("a");
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0].path(), "/busy");
  for (size_t i = 1; i < a.size(); ++i) EXPECT_GE(a[i].received - a[0].received, std::chrono::seconds(1)) << i;
  for (const ReceivedRequest& r : requestsTo("b")) EXPECT_LT(r.received, a[1].received) << r.target;

  // A second 503, or a Retry-After beyond the limit, is recorded as answered.
  EXPECT_EQ(server.requestCount("/always"), 2u);
  EXPECT_EQ(recordOf(at("c", "/always"))->last().statusCode, 503);
  EXPECT_EQ(server.requestCount("/too-long"), 1u);
  EXPECT_EQ(recordOf(at("d", "/too-long"))->last().statusCode, 429);
  EXPECT_EQ(crawl().listUrlsDone(), 7);
}

TEST_F(PacedCrawlTest, AbortDropsUrlsWaitingForTheirRetry) {
  settings.RetryAfterLimitSeconds = 600;
  server.route("/later", [](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 429 Too Many Requests", {"Retry-After: 600"});
  });
  start({at("a", "/later"), at("b", "/now")}, 2);
  ASSERT_TRUE(eventually([&] { return store->count() == 1; }, "the other URL is checked meanwhile"));
  abortAndWait();  // not waiting for the set-aside URL
  EXPECT_EQ(server.requestCount("/later"), 1u);
  EXPECT_EQ(storedUrls(), Texts{at("b", "/now")});
}

}  // namespace
}  // namespace tallyvane::testing
