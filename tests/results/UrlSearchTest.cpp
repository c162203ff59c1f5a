#include "results/UrlSearch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/support/Chains.h"

namespace tallyvane {
namespace {

using testing::chainOf;

std::vector<std::string> urlsOf(const UrlSearch::Rows& rows) {
  std::vector<std::string> urls;
  for (const ResultRecord* record : rows) urls.emplace_back(textOf(record->first().url));
  return urls;
}

class UrlSearchTest : public ::testing::Test {
 protected:
  UrlSearchTest() {
    search.setFound([this] {
      std::lock_guard lock(mutex);
      ++found;
      foundChanged.notify_all();
    });
  }

  void add(const std::string& url, int64_t status = 200) { ASSERT_TRUE(store.add(chainOf(url, {status}), TestMode::None, fatal)); }

  // The rows once the scan started now has reported.
  std::vector<std::string> nextResult() {
    std::unique_lock lock(mutex);
    const int before = seen;
    EXPECT_TRUE(foundChanged.wait_for(lock, std::chrono::seconds(10), [&] { return found > before; }))
        << "the search never reported";
    seen = found;
    lock.unlock();
    const auto rows = search.rows();
    return rows ? urlsOf(*rows) : std::vector<std::string>{};
  }

  ResultStore store;
  FatalErrorSlot fatal;
  UrlSearch search{store};
  std::mutex mutex;
  std::condition_variable foundChanged;
  int found = 0;
  int seen = 0;
};

TEST_F(UrlSearchTest, FindsTheTextIgnoringCaseWithinTheFilterAndTakesNewRowsAsTheyCome) {
  add("https://a.example/Shop/1");
  add("https://a.example/blog/1", 404);
  add("http://a.example/SHOP/2", 404);
  search.search("shop", {});
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"https://a.example/Shop/1", "http://a.example/SHOP/2"}));

  search.search("Shop", {false, Filter::PageNotFound});
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"http://a.example/SHOP/2"}));

  add("https://a.example/shop/3", 404);
  add("https://a.example/other", 404);
  search.rowsAdded(false);
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"http://a.example/SHOP/2", "https://a.example/shop/3"}));

  search.search("", {false, Filter::PageNotFound});
  EXPECT_FALSE(search.active());
  EXPECT_EQ(search.rows(), nullptr);
}

TEST_F(UrlSearchTest, StopForgetsTheResultSoNothingPointsIntoAClearedStore) {
  for (int i = 0; i < 20000; ++i) add("https://a.example/page/" + std::to_string(i));
  search.search("PAGE/1", {});
  search.stop();  // waits for the scan to let go of the records
  store.clear();
  EXPECT_EQ(search.rows(), nullptr);
  EXPECT_FALSE(search.active());
}

TEST(ContainsIgnoringCase, ComparesAsciiLettersWithoutCaseAndEverythingElseExactly) {
  EXPECT_TRUE(containsIgnoringCase("https://A.Example/Path", "a.example/p"));
  EXPECT_TRUE(containsIgnoringCase("abc", ""));
  EXPECT_FALSE(containsIgnoringCase("ab", "abc"));
  EXPECT_FALSE(containsIgnoringCase("https://a.example/%C3%A9", "%c3%a9x"));
  EXPECT_TRUE(containsIgnoringCase("aab", "ab"));  // a partial match is not the end of the scan
  EXPECT_FALSE(containsIgnoringCase("a-b", "a_b"));
}

}  // namespace
}  // namespace tallyvane
