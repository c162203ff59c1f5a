#include "app/HostScheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/Eventually.h"

namespace tallyvane::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class HostSchedulerTest : public ::testing::Test {
 protected:
  void limit(int maxPerHost, milliseconds delay = milliseconds(0), size_t maxWaiting = 100) {
    scheduler.reset({maxPerHost, delay}, maxWaiting);
  }
  static SetAsideUrl fresh(std::string url) { return SetAsideUrl{std::move(url), true, {}}; }
  static SetAsideUrl retry(std::string url) {
    SetAsideUrl later{url, true, std::vector<HopRecord>(1)};
    later.chain[0].url = std::move(url);
    later.chain[0].statusCode = 429;
    return later;
  }
  // The URL of the next set-aside URL that may go now, "" when none may.
  std::string ready() {
    std::string host;
    const auto url = scheduler.takeReady(host);
    return url ? url->url : "";
  }

  HostScheduler::TimePoint now{};
  HostScheduler scheduler{[this] { return now; }};
  RunningFlag running;
  const std::string a = "http://a.localhost:80", b = "http://b.localhost:80";
};

TEST_F(HostSchedulerTest, AHostIsItsSchemeHostAndPortWhateverTheSpelling) {
  EXPECT_EQ(hostOf("https://Shop.Example/x?y#z"), "https://shop.example:443");
  EXPECT_EQ(hostOf("https://shop.example:443"), "https://shop.example:443");
  EXPECT_EQ(hostOf("http://shop.example"), "http://shop.example:80");
  EXPECT_EQ(hostOf("HTTPS://Shop.Example/"), "https://shop.example:443");  // a Location may shout
  EXPECT_EQ(hostOf("http://user:pw@a.localhost:8080/p"), "http://a.localhost:8080");
  EXPECT_EQ(hostOf("http://[::1]:81/"), "http://[::1]:81");
  EXPECT_NE(hostOf("http://shop.example/"), hostOf("https://shop.example/"));
  EXPECT_NE(hostOf("http://a.localhost:81/"), hostOf("http://a.localhost:82/"));
}

TEST_F(HostSchedulerTest, AtMostNRequestsInFlightPerHostEachHostOnItsOwn) {
  limit(2);
  EXPECT_TRUE(scheduler.tryEnter(a));
  EXPECT_TRUE(scheduler.tryEnter(a));
  EXPECT_FALSE(scheduler.tryEnter(a));
  EXPECT_TRUE(scheduler.tryEnter(b));
  scheduler.leave(a);
  EXPECT_TRUE(scheduler.tryEnter(a));
  EXPECT_FALSE(scheduler.tryEnter(a));

  limit(0);  // no limit, and a new crawl forgets the old one's turns
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(scheduler.tryEnter(a));
}

TEST_F(HostSchedulerTest, TheDelaySeparatesTheStartsOfRequestsToOneHost) {
  limit(0, milliseconds(500));
  EXPECT_TRUE(scheduler.tryEnter(a));
  EXPECT_TRUE(scheduler.tryEnter(b));
  now += milliseconds(499);
  scheduler.leave(a);
  EXPECT_FALSE(scheduler.tryEnter(a));
  now += milliseconds(1);
  EXPECT_TRUE(scheduler.tryEnter(a));
  EXPECT_FALSE(scheduler.tryEnter(a));  // still in flight or not, the next start waits again
}

TEST_F(HostSchedulerTest, APauseHoldsBackItsHostOnlyAndNeverShortensAnother) {
  limit(0);
  scheduler.pause(a, seconds(2));
  scheduler.pause(a, seconds(1));
  EXPECT_FALSE(scheduler.tryEnter(a));
  EXPECT_TRUE(scheduler.tryEnter(b));
  now += milliseconds(1999);
  EXPECT_FALSE(scheduler.tryEnter(a));
  now += milliseconds(1);
  EXPECT_TRUE(scheduler.tryEnter(a));
}

TEST_F(HostSchedulerTest, SetAsideUrlsGoInTurnOnceTheirHostHasOneAndRetriesAreNeverTurnedAway) {
  limit(1, milliseconds(0), 2);
  ASSERT_TRUE(scheduler.tryEnter(a));
  EXPECT_TRUE(scheduler.setAside(a, fresh("a1")));
  EXPECT_TRUE(scheduler.setAside(a, fresh("a2")));
  EXPECT_FALSE(scheduler.setAside(a, fresh("a3")));  // full: the worker waits with it instead
  EXPECT_TRUE(scheduler.setAside(b, retry("b1")));   // a retry is kept whatever waits
  scheduler.pause(b, seconds(5));
  EXPECT_EQ(scheduler.setAsideCount(), 3u);

  EXPECT_EQ(ready(), "");  // a is full, b paused
  scheduler.leave(a);
  std::string host;
  const auto first = scheduler.takeReady(host);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->url, "a1");
  EXPECT_EQ(host, a);
  EXPECT_FALSE(scheduler.tryEnter(a)) << "the set-aside URL took a's turn";
  EXPECT_TRUE(scheduler.setAside(a, fresh("a3")));  // room again
  scheduler.leave(a);
  EXPECT_EQ(ready(), "a2");
  EXPECT_EQ(ready(), "");
  now += seconds(5);
  const auto again = scheduler.takeReady(host);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->url, "b1");
  ASSERT_EQ(again->chain.size(), 1u);
  EXPECT_EQ(again->chain[0].statusCode, 429);
  scheduler.leave(a);
  EXPECT_EQ(ready(), "a3");
  EXPECT_EQ(scheduler.setAsideCount(), 0u);
}

TEST_F(HostSchedulerTest, TheCrawlEndsOnlyWhenNothingIsSetAsideAndNoWorkerHoldsAUrl) {
  limit(1);
  EXPECT_FALSE(scheduler.awaitMore(running));  // nothing anywhere: the end

  scheduler.urlTaken();  // another worker's URL may yet set one aside or queue more
  std::atomic<int> answers{0};
  std::thread waiter([&] {
    while (scheduler.awaitMore(running)) ++answers;
    answers += 100;
  });
  scheduler.urlDone();
  EXPECT_TRUE(eventually([&] { return answers >= 100; }, "the waiting worker ends once the last URL is done"));
  waiter.join();

  // A URL set aside for a full host keeps the workers waiting, until an abort.
  ASSERT_TRUE(scheduler.tryEnter(a));
  ASSERT_TRUE(scheduler.setAside(a, fresh("a1")));
  std::atomic<bool> ended{false};
  std::thread stopped([&] {
    while (scheduler.awaitMore(running)) {
    }
    ended = true;
  });
  running.clear();
  scheduler.interrupt();
  EXPECT_TRUE(eventually([&] { return ended.load(); }, "an abort ends the wait though a URL is set aside"));
  stopped.join();
}

TEST_F(HostSchedulerTest, AWaitForAFullHostEndsWithItsTurnOrWithAnAbort) {
  limit(1);
  ASSERT_TRUE(scheduler.tryEnter(a));
  std::atomic<int> entered{-1};
  std::thread second([&] { entered = scheduler.enter(a, running) ? 1 : 0; });
  scheduler.leave(a);
  EXPECT_TRUE(eventually([&] { return entered == 1; }, "the waiting worker gets the turn that was left"));
  second.join();

  entered = -1;
  std::thread third([&] { entered = scheduler.enter(a, running) ? 1 : 0; });
  running.clear();
  scheduler.interrupt();
  EXPECT_TRUE(eventually([&] { return entered == 0; }, "an abort ends the wait for a full host"));
  third.join();
  EXPECT_FALSE(scheduler.tryEnter(a)) << "the aborted wait took no turn";
}

}  // namespace
}  // namespace tallyvane::testing
