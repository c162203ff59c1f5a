#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/HeaderAnalysis.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/Eventually.h"

namespace tallyvane::testing {
namespace {

using std::chrono::milliseconds;

class RequestTest : public EngineFixture {
 protected:
  void SetUp() override {
    server.fallback([](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {}, "body"); });
  }
  ReceivedRequest lastRequest() const {
    const auto all = server.requests();
    EXPECT_FALSE(all.empty());
    return all.empty() ? ReceivedRequest{} : all.back();
  }
};

TEST_F(RequestTest, FragmentIsKeptInTheRecordButNotSent) {
  const HopRecord hop = fetch(server.url("/page?q=1#section-2"));
  EXPECT_EQ(lastRequest().target, "/page?q=1");
  EXPECT_EQ(hop.url, server.url("/page?q=1#section-2"));
  EXPECT_EQ(hop.statusCode, 200);
}

TEST_F(RequestTest, StatusTextIsTheRestOfTheStatusLineFromItsThirdWord) {
  server.fixed("/three", "HTTP/1.1 404 Not  Found Here\r\nContent-Length: 0\r\n\r\n");
  server.fixed("/two", "HTTP/1.1 204\r\n\r\n");
  server.fixed("/tabs", "HTTP/1.1 410\tGone\tfor good\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(fetch(server.url("/three")).statusText, "Not  Found Here");
  EXPECT_EQ(fetch(server.url("/two")).statusText, "");
  const HopRecord gone = fetch(server.url("/tabs"));
  EXPECT_EQ(gone.statusCode, 410);
  EXPECT_EQ(gone.statusText, "Gone\tfor good");
}

TEST_F(RequestTest, InterimAnswerDoesNotNameTheFinalResponse) {
  server.fixed("/interim",
               "HTTP/1.1 100 Continue\r\n\r\n"
               "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  const HopRecord hop = fetch(server.url("/interim"));
  EXPECT_EQ(hop.statusCode, 404);
  EXPECT_EQ(hop.statusText, "Not Found");
  EXPECT_EQ(hop.rawHeaders, "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
}

TEST_F(RequestTest, RawHeaderBlockKeepsEveryLineAndFoldedLines) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nX-Robots-Tag: noindex,\r\n  nofollow\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n\r\n";
  server.fixed("/folded", head);
  const HopRecord hop = fetch(server.url("/folded"));
  EXPECT_EQ(hop.rawHeaders, head);
  EXPECT_EQ(hop.contentType, "text/plain");
}

TEST_F(RequestTest, HeadersOfTheAnalysisAreFoundInAnyCaseAfterAnInterimAnswer) {
  context.analyseHeaders = [](HopRecord& hop) { analyseHeaders(hop, nullptr); };
  server.fixed("/analysed",
               "HTTP/1.1 100 Continue\r\n\r\n"
               "HTTP/1.1 200 OK\r\nvary: Accept\r\nX-ROBOTS-TAG: noindex,\r\n  nofollow\r\n"
               "LINK: </a>; rel=\"canonical\"\r\nContent-Length: 0\r\n\r\n");
  server.fixed("/none", "HTTP/1.1 200 OK\r\nX-Vary: Accept\r\nLinks: </a>\r\nContent-Length: 0\r\n\r\n");
  const HopRecord analysed = fetch(server.url("/analysed"));
  EXPECT_EQ(analysed.vary, "[Accept]");
  EXPECT_EQ(analysed.xRobotsTag, "[noindex, nofollow]");
  ASSERT_EQ(analysed.linkCount, 1);
  EXPECT_EQ(analysed.links[0].link, server.url("/a"));
  const HopRecord none = fetch(server.url("/none"));
  EXPECT_EQ(none.vary, "");
  EXPECT_EQ(none.linkCount, 0);
}

TEST_F(RequestTest, InvalidUtf8InHeadersIsReplaced) {
  server.fixed("/latin1", "HTTP/1.1 200 Caf\xE9\r\nX-Name: \xFF\r\nContent-Length: 0\r\n\r\n");
  const HopRecord hop = fetch(server.url("/latin1"));
  EXPECT_EQ(hop.statusText, "Caf\xEF\xBF\xBD");
  EXPECT_NE(hop.rawHeaders.find("X-Name: \xEF\xBF\xBD\r\n"), std::string::npos);
}

TEST_F(RequestTest, SizeComesFromContentLengthOrIsUnknown) {
  server.fixed("/length", "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n");
  server.fixed("/unknown", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(fetch(server.url("/length")).size, 1234);
  EXPECT_EQ(fetch(server.url("/unknown")).size, -1);
}

TEST_F(RequestTest, RelativeLocationIsResolvedAgainstTheHop) {
  server.fixed("/dir/page", "HTTP/1.1 307 Temporary Redirect\r\nLocation: ../other?x=1\r\nContent-Length: 0\r\n\r\n");
  const HopRecord hop = fetch(server.url("/dir/page"));
  EXPECT_EQ(hop.statusCode, 307);
  EXPECT_EQ(hop.redirectTarget, server.url("/other?x=1"));
}

TEST_F(RequestTest, HeadByDefaultAndGetWhenChosen) {
  fetch(server.url("/a"));
  EXPECT_EQ(lastRequest().method, "HEAD");
  settings.HeaderRequestMethod = MethodChoice::Get;
  reconnect();
  fetch(server.url("/b"));
  EXPECT_EQ(lastRequest().method, "GET");
}

TEST_F(RequestTest, ARefusedHeadIsAskedAgainWithGetWhenChosenAndBothBlocksAreKept) {
  server.route("/no-head", [](const ReceivedRequest& r) {
    if (r.method == "HEAD") return reply(r, "HTTP/1.1 405 Method Not Allowed", {"Allow: GET"});
    return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html", "X-Robots-Tag: noindex"}, "body");
  });
  server.route("/not-implemented", [](const ReceivedRequest& r) {
    return reply(r, r.method == "HEAD" ? "HTTP/1.1 501 Not Implemented" : "HTTP/1.1 404 Not Found");
  });
  HopRecord refused = fetch(server.url("/no-head"));
  EXPECT_EQ(refused.statusCode, 405);  // off by default: the HEAD's answer is the record
  EXPECT_EQ(server.requestCount("/no-head"), 1u);

  settings.FallbackToGET = 1;
  context.analyseHeaders = [](HopRecord& hop) { analyseHeaders(hop, nullptr); };
  reconnect();
  const HopRecord fallen = fetch(server.url("/no-head"));
  EXPECT_EQ(lastRequest().method, "GET");
  EXPECT_EQ(fallen.statusCode, 200);
  EXPECT_EQ(fallen.statusText, "OK");
  EXPECT_EQ(fallen.contentType, "text/html");
  EXPECT_EQ(fallen.xRobotsTag, "[noindex]");  // the analysis reads the GET's block
  const size_t head = fallen.rawHeaders.find("HTTP/1.1 405 Method Not Allowed\r\n");
  const size_t get = fallen.rawHeaders.find("HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(head, 0u) << fallen.rawHeaders;
  EXPECT_NE(get, std::string::npos) << fallen.rawHeaders;
  EXPECT_EQ(fetch(server.url("/not-implemented")).statusCode, 404);
  // Only a refused HEAD is repeated: an answered one, or a GET, is requested once.
  fetch(server.url("/a"));
  EXPECT_EQ(server.requestCount("/a"), 1u);
}

TEST_F(RequestTest, GetOnlyForListedHostsWhateverTheirCase) {
  settings.HeaderRequestMethod = MethodChoice::GetForListedHosts;
  settings.GETDomains = "LocalHost ; the test machine\r\n\r\nexample.org";
  const std::string port = std::to_string(server.port());
  fetch("http://localhost:" + port + "/listed");
  EXPECT_EQ(lastRequest().method, "GET");
  fetch(server.url("/unlisted"));
  EXPECT_EQ(lastRequest().method, "HEAD");
  fetch("http://localhost:" + port + "/listed-again");
  EXPECT_EQ(lastRequest().method, "GET");
}

TEST_F(RequestTest, BodyIsDiscardedNotWrittenToStandardOutput) {
  settings.HeaderRequestMethod = MethodChoice::Get;
  server.route("/big", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {}, std::string(100000, 'z')); });
  ::testing::internal::CaptureStdout();
  const HopRecord hop = fetch(server.url("/big"));
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(hop.size, 100000);
  EXPECT_EQ(printed, "");
}

TEST_F(RequestTest, UserAgentIsSentAsEightBitText) {
  fetch(server.url("/ua"));
  EXPECT_EQ(lastRequest().header("User-Agent"), "Tallyvane");
  reconnect();
  settings.requestUserAgent = "Agent caf\xC3\xA9 \xE2\x82\xAC end";  // é fits in 8 bits, € does not
  fetch(server.url("/ua"));
  EXPECT_EQ(lastRequest().header("User-Agent"), "Agent caf\xE9  end");
}

TEST_F(RequestTest, CustomHeaderLinesAreTrimmedAndSentAsUtf8) {
  settings.CustomHeaders = "  X-One: 1  \r\n\r\nX-Two: tv\xC3\xA5";
  fetch(server.url("/off"));
  EXPECT_FALSE(lastRequest().hasHeader("X-One"));
  reconnect();
  settings.UseCustomHeaders = 1;
  fetch(server.url("/on"));
  EXPECT_EQ(lastRequest().header("X-One"), "1");
  EXPECT_EQ(lastRequest().header("X-Two"), "tv\xC3\xA5");
}

class CookieTest : public RequestTest {
 protected:
  void SetUp() override {
    RequestTest::SetUp();
    server.fixed("/set", "HTTP/1.1 200 OK\r\nSet-Cookie: session=abc; Path=/\r\nContent-Length: 0\r\n\r\n");
  }
};

TEST_F(CookieTest, CookiesAreIgnoredWhenDisabled) {
  fetch(server.url("/set"));
  fetch(server.url("/next"));
  EXPECT_FALSE(lastRequest().hasHeader("Cookie"));
}

TEST_F(CookieTest, CookiesAreSentBackAndSharedBetweenWorkersWhenEnabled) {
  settings.CookiesDisabled = CookiesChoice::Enabled;
  fetch(server.url("/set"));
  fetch(server.url("/next"));
  EXPECT_EQ(lastRequest().header("Cookie"), "session=abc");

  // A second worker on the same share object sees the cookie too.
  WorkerConnection other(context);
  ASSERT_TRUE(other.setUp());
  HopRecord hop;
  hop.url = server.url("/other");
  other.performHop(hop);
  EXPECT_EQ(lastRequest().header("Cookie"), "session=abc");
  EXPECT_NE(lastRequest().connection, server.requests().front().connection);
}

class ProxyTest : public RequestTest {
 protected:
  void SetUp() override {
    RequestTest::SetUp();
    settings.UseProxy = 1;
    settings.Addr = "127.0.0.1";
    settings.Port = std::to_string(server.port());
  }
};

TEST_F(ProxyTest, RequestsGoThroughTheProxyWithoutCredentialsWhenUserIsEmpty) {
  settings.Password = "ignored";
  const HopRecord hop = fetch("http://site.invalid/page");
  EXPECT_EQ(hop.statusCode, 200);
  EXPECT_EQ(lastRequest().target, "http://site.invalid/page");
  EXPECT_FALSE(lastRequest().hasHeader("Proxy-Authorization"));
}

TEST_F(ProxyTest, ProxyCredentialsAreSentWhenUserIsSet) {
  settings.User = "user";
  settings.Password = "secret";
  fetch("http://site.invalid/page");
  EXPECT_EQ(lastRequest().header("Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
}

TEST_F(ProxyTest, InternationalHostsAndIpv6LiteralsAreRequestedAsWritten) {
  EXPECT_EQ(fetch("http://b\xC3\xBC" "cher.example/page").statusCode, 200);
  EXPECT_EQ(lastRequest().target, "http://xn--bcher-kva.example/page");
  EXPECT_EQ(fetch("http://[::1]:8080/page?q=red+shoes").statusCode, 200);
  EXPECT_EQ(lastRequest().target, "http://[::1]:8080/page?q=red+shoes");
  const HopRecord invalid = fetch("http://a\xE2\x80\x8D" "b.example/");  // a joiner outside its context
  EXPECT_EQ(invalid.kind, kChainFailed);
  EXPECT_TRUE(invalid.statusText.starts_with("LibCurl:International host name: ")) << invalid.statusText;
}

TEST_F(RequestTest, OneWorkerReusesItsConnectionUntilTheServerClosesIt) {
  server.fixed("/close", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
  fetch(server.url("/1"));
  fetch(server.url("/2"));
  fetch(server.url("/close"));
  fetch(server.url("/3"));
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[1].connection, seen[0].connection);
  EXPECT_EQ(seen[2].connection, seen[0].connection);
  EXPECT_NE(seen[3].connection, seen[2].connection);
}

TEST_F(RequestTest, FailedConnectionGivesTheLibraryMessage) {
  const HopRecord hop = fetch("http://127.0.0.1:1/");
  EXPECT_EQ(hop.statusCode, 0);
  EXPECT_EQ(hop.kind, kChainFailed);
  EXPECT_TRUE(hop.statusText.starts_with("LibCurl:"));
  EXPECT_GT(hop.statusText.size(), 8u);
  EXPECT_EQ(hop.responseTime, -1);
}

TEST_F(RequestTest, EndlessHeadersFailTheHopAtTheCapAndOnlyTheirStartIsKept) {
  server.route("/endless", [](const ReceivedRequest&) {
    ScriptedReply endless{"HTTP/1.1 200 OK\r\n"};
    endless.repeat = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    return endless;
  });
  const HopRecord hop = fetch(server.url("/endless"));
  EXPECT_EQ(hop.kind, kChainFailed);
  EXPECT_EQ(hop.statusCode, 0);
  EXPECT_EQ(hop.statusText, "LibCurl:Response headers larger than 256 KB");
  EXPECT_TRUE(hop.rawHeaders.starts_with("HTTP/1.1 200 OK\r\nX-Filler: fff"));
  EXPECT_LE(hop.rawHeaders.size(), kMaxFailedHopHeaderBytes);
}

TEST_F(RequestTest, ServersThatNeverFinishFailAtTheTimeOut) {
  settings.TimeoutSeconds = 1;
  settings.HeaderRequestMethod = MethodChoice::Get;  // GET, so an endless body is read
  server.route("/silent", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  server.route("/drip", [](const ReceivedRequest&) {
    ScriptedReply drip{"HTTP/1.1 200 OK\r\nX-Slow: "};
    drip.repeat = "x";
    drip.repeatEvery = milliseconds(100);
    return drip;
  });
  server.route("/endless-body", [](const ReceivedRequest&) {
    ScriptedReply endless{"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"};
    endless.repeat = std::string(16384, 'z');
    return endless;
  });
  for (const char* path : {"/silent", "/drip", "/endless-body"}) {
    const HopRecord hop = fetch(server.url(path));
    EXPECT_EQ(hop.kind, kChainFailed) << path;
    EXPECT_EQ(hop.statusCode, 0) << path;
    EXPECT_TRUE(hop.statusText.starts_with("LibCurl:Operation timed out after")) << path << ": " << hop.statusText;
  }
}

TEST_F(RequestTest, ResponseTimeCoversTheServersDelay) {
  server.route("/slow", [](const ReceivedRequest& r) {
    ScriptedReply slow = reply(r, "HTTP/1.1 200 OK");
    slow.delay = milliseconds(120);
    return slow;
  });
  EXPECT_GE(fetch(server.url("/slow")).responseTime, 120);
}

TEST_F(RequestTest, ClearingTheRunningFlagEndsAHangingTransfer) {
  // Without the abort callback the transfer would last the whole time-out, and say so.
  settings.TimeoutSeconds = 60;
  size_t asked = 0;
  for (const char* bytes : {"", "HTTP/1.1 200 OK\r\nX-Partial: yes\r\n"}) {
    server.route("/hang", [bytes](const ReceivedRequest&) { return ScriptedReply{bytes, milliseconds(0), true}; });
    running.set();
    ++asked;
    std::thread stopper([&] {
      EXPECT_TRUE(eventually([&] { return server.requestCount("/hang") == asked; }, "the request reaches the server"));
      running.clear();
    });
    const HopRecord hop = fetch(server.url("/hang"));
    stopper.join();
    EXPECT_EQ(hop.kind, kChainFailed);
    EXPECT_EQ(hop.statusCode, 0);
    EXPECT_EQ(hop.statusText, "LibCurl:Callback aborted") << "with reply bytes \"" << bytes << "\"";
  }
}

// A listener whose accept queue is full: a connection to it never completes.
class FullListener {
 public:
  FullListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 0);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 4; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(fd);
    }
  }
  ~FullListener() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

TEST_F(RequestTest, StoppingNeverTouchesADescriptorTheCrawlDoesNotOwn) {
  settings.TimeoutSeconds = 1;
  FullListener unanswered;
  const HopRecord hop = fetch(unanswered.url());
  EXPECT_EQ(hop.kind, kChainFailed);

  // Descriptors of the program's own, likely to reuse the numbers the transfer had.
  std::vector<std::array<int, 2>> pairs(64);
  for (auto& pair : pairs) ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair.data()), 0);
  running.clear();
  for (const auto& pair : pairs) {
    EXPECT_EQ(::send(pair[0], "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT), 1) << "descriptor " << pair[0] << " was shut down";
    ::close(pair[0]);
    ::close(pair[1]);
  }
}

}  // namespace
}  // namespace tallyvane::testing
