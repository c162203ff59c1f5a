#include <gtest/gtest.h>

#include <string>

#include "tests/engine/EngineFixture.h"

namespace tallyvane::testing {
namespace {

class RedirectChainTest : public EngineFixture {
 protected:
  void ok(const std::string& path) {
    server.route(path, [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"}, "hi"); });
  }
  void moved(const std::string& from, const std::string& to, int code = 301) {
    server.route(from, [code, to](const ReceivedRequest& r) {
      const std::string line = "HTTP/1.1 " + std::to_string(code) + (code == 301 ? " Moved Permanently" : " Found");
      return reply(r, line, {"Location: " + to});
    });
  }
  // /rN redirects to /r(N+1) for N below count, with last's target given.
  void numberedChain(int count, const std::string& lastTarget) {
    for (int i = 0; i < count; ++i) {
      moved("/r" + std::to_string(i), i + 1 < count ? "/r" + std::to_string(i + 1) : lastTarget);
    }
  }
};

TEST_F(RedirectChainTest, PlainAnswerIsAChainOfOneHop) {
  ok("/page");
  EXPECT_EQ(follow(server.url("/page")), 0);
  EXPECT_EQ(hops[0].statusCode, 200);
  EXPECT_EQ(hops[0].statusText, "OK");
  EXPECT_EQ(hops[0].kind, kChainPlain);
  EXPECT_EQ(hops[0].contentType, "text/html");
  EXPECT_GE(hops[0].responseTime, 0);
}

TEST_F(RedirectChainTest, SingleRedirectIsFollowedToItsTarget) {
  moved("/old", "/new");
  ok("/new");
  EXPECT_EQ(follow(server.url("/old")), 1);
  EXPECT_EQ(hops[0].statusCode, 301);
  EXPECT_EQ(hops[0].statusText, "Moved Permanently");
  EXPECT_EQ(hops[0].redirectTarget, server.url("/new"));
  EXPECT_EQ(hops[1].url, server.url("/new"));
  EXPECT_EQ(hops[1].statusCode, 200);
  EXPECT_EQ(hops[0].kind, kChainPlain);
}

TEST_F(RedirectChainTest, ThreeRedirectsMakeAChain) {
  numberedChain(3, "/end");
  ok("/end");
  EXPECT_EQ(follow(server.url("/r0")), 3);
  EXPECT_EQ(hops[0].kind, kChainRedirects);
  EXPECT_EQ(hops[3].url, server.url("/end"));
  EXPECT_EQ(hops[3].statusCode, 200);
  EXPECT_EQ(hops[0].statusText, "Moved Permanently");
}

TEST_F(RedirectChainTest, RedirectBackToTheStartIsALoopAndTheRepeatIsNotRequested) {
  moved("/a", "/b");
  moved("/b", "/a", 302);
  EXPECT_EQ(follow(server.url("/a")), 2);
  EXPECT_EQ(hops[0].kind, kChainLoop);
  EXPECT_EQ(hops[0].statusText, "Moved Permanently, Redirect Loop");
  EXPECT_EQ(hops[1].statusText, "Found, Redirect Loop");
  EXPECT_EQ(hops[2].url, server.url("/a"));
  EXPECT_EQ(hops[2].statusCode, 0);
  EXPECT_EQ(hops[2].statusText, "");
  EXPECT_EQ(hops[2].rawHeaders, "");
  EXPECT_EQ(hops[2].size, -1);
  EXPECT_EQ(hops[2].responseTime, -1);
  EXPECT_EQ(server.requestCount("/a"), 1u);
  EXPECT_EQ(server.requestCount("/b"), 1u);
}

TEST_F(RedirectChainTest, PageRedirectingToItselfIsALoopOfOneRedirect) {
  server.fixed("/self", "HTTP/1.1 301\r\nLocation: /self\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(follow(server.url("/self")), 1);
  EXPECT_EQ(hops[0].kind, kChainLoop);
  EXPECT_EQ(hops[0].statusText, "Redirect Loop");
  EXPECT_EQ(hops[1].url, server.url("/self"));
  EXPECT_EQ(hops[1].statusCode, 0);
}

TEST_F(RedirectChainTest, LetterCaseAndTrailingSlashMakeDifferentUrls) {
  moved("/x", "/X");
  moved("/X", "/X/");
  ok("/X/");
  EXPECT_EQ(follow(server.url("/x")), 2);
  EXPECT_EQ(hops[0].kind, kChainRedirects);
  EXPECT_EQ(hops[2].statusCode, 200);
}

TEST_F(RedirectChainTest, TenRequestsAtMostAndTheEleventhUrlIsOnlyRecorded) {
  numberedChain(14, "/end");
  ok("/end");
  EXPECT_EQ(follow(server.url("/r0")), 10);
  EXPECT_EQ(hops[0].kind, kChainMaxRedirects);
  EXPECT_EQ(hops[0].statusText, "Moved Permanently, Max Redirects Exceeded");
  EXPECT_EQ(hops[9].statusCode, 301);
  EXPECT_EQ(hops[10].url, server.url("/r10"));
  EXPECT_EQ(hops[10].statusCode, 0);
  EXPECT_EQ(hops[10].rawHeaders, "");
  EXPECT_EQ(server.requests().size(), 10u);
  EXPECT_EQ(server.requestCount("/r10"), 0u);
}

TEST_F(RedirectChainTest, MaxRedirectsTextStandsAloneWithoutReasonPhrase) {
  for (int i = 0; i < 10; ++i) {
    server.fixed("/n" + std::to_string(i),
                 "HTTP/1.1 301\r\nLocation: /n" + std::to_string(i + 1) + "\r\nContent-Length: 0\r\n\r\n");
  }
  EXPECT_EQ(follow(server.url("/n0")), 10);
  EXPECT_EQ(hops[0].statusText, "Max Redirects Exceeded");
}

TEST_F(RedirectChainTest, LoopReachedOnlyAtTheEleventhUrlCountsAsMaxRedirects) {
  numberedChain(10, "/r0");  // /r9 leads back to /r0
  EXPECT_EQ(follow(server.url("/r0")), 10);
  EXPECT_EQ(hops[0].kind, kChainMaxRedirects);
  EXPECT_EQ(hops[10].url, server.url("/r0"));
  EXPECT_EQ(hops[0].statusText.find("Redirect Loop"), std::string::npos);
}

TEST_F(RedirectChainTest, RedirectWithoutLocationFailsTheHop) {
  server.fixed("/nowhere", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(follow(server.url("/nowhere")), 0);
  EXPECT_EQ(hops[0].statusCode, 0);
  EXPECT_EQ(hops[0].kind, kChainFailed);
  EXPECT_EQ(hops[0].statusText, "LibCurl:Redirect without a usable Location header");
}

TEST_F(RedirectChainTest, RedirectToAnotherSchemeIsAFailedHopNeverRequested) {
  const std::string mailto = "mailto:sales@127.0.0.1:" + std::to_string(server.port());
  for (const std::string& target : {std::string("file:///etc/passwd"), std::string("file:///dev/zero"), mailto,
                                    std::string("tel:+15550100"), std::string("javascript:alert(1)"),
                                    std::string("ftp://127.0.0.1:1/f"), std::string("httpx://a.example/")}) {
    moved("/away", target, 302);
    ASSERT_EQ(follow(server.url("/away")), 1) << target;
    EXPECT_EQ(hops[0].statusCode, 302) << target;
    EXPECT_EQ(hops[0].kind, kChainPlain) << target;
    EXPECT_EQ(hops[1].url, target);
    EXPECT_EQ(hops[1].kind, kChainFailed) << target;
    EXPECT_EQ(hops[1].statusCode, 0) << target;
    EXPECT_EQ(hops[1].size, -1) << target;
    EXPECT_EQ(hops[1].statusText, "LibCurl:Not requested: not an http or https URL") << target;
  }
  for (const ReceivedRequest& request : server.requests()) {
    EXPECT_EQ(request.path(), "/away");
    EXPECT_FALSE(request.hasHeader("Authorization"));
  }
}

TEST_F(RedirectChainTest, FailedHopAfterRedirectsKeepsTheChainKindReached) {
  numberedChain(2, "http://127.0.0.1:1/closed");
  EXPECT_EQ(follow(server.url("/r0")), 2);
  EXPECT_EQ(hops[0].kind, kChainRedirects);
  EXPECT_EQ(hops[2].kind, kChainFailed);
  EXPECT_EQ(hops[2].statusCode, 0);
  EXPECT_TRUE(hops[2].statusText.starts_with("LibCurl:"));
  EXPECT_GT(hops[2].statusText.size(), std::string("LibCurl:").size());
}

TEST_F(RedirectChainTest, StaleHopsOfAnEarlierUrlNeverLeakIntoTheNextChain) {
  numberedChain(3, "/end");
  ok("/end");
  ok("/single");
  ASSERT_EQ(follow(server.url("/r0")), 3);
  EXPECT_EQ(follow(server.url("/single")), 0);
  EXPECT_EQ(hops[0].kind, kChainPlain);
  EXPECT_EQ(hops[0].statusText, "OK");
}

TEST_F(RedirectChainTest, StoppedCrawlAbandonsTheChain) {
  running.clear();
  ok("/page");
  EXPECT_EQ(follow(server.url("/page")), -1);
  EXPECT_EQ(server.requests().size(), 0u);
}

}  // namespace
}  // namespace tallyvane::testing
