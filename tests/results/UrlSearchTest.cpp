#include "results/UrlSearch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "results/ResultColumns.h"
#include "results/ResultView.h"
#include "tests/support/Chains.h"
#include "tests/support/Eventually.h"

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

TEST_F(UrlSearchTest, ASortedViewOfManyBatchesHasItsMatchesInItsOwnOrder) {
  // Several batches of rows, in an order other than the store's, with matches on either side of
  // each batch's edge.
  for (int i = 0; i < 10000; ++i) {
    add("https://a.example/" + std::string(i % 3 == 0 ? "Shop/" : "blog/") + std::to_string(i));
  }
  ResultView view(store);
  view.sortBy(kUrlColumn, SortDirection::Descending);
  view.waitForSort();
  std::vector<std::string> expected;
  for (int64_t row = 0; row < view.rowCount(); ++row) {
    const std::string url(textOf(view.recordAtRow(row)->first().url));
    if (url.find("/Shop/") != std::string::npos) expected.push_back(url);
  }
  ASSERT_EQ(expected.size(), 3334u);
  search.search("shop/", view.selection());
  EXPECT_EQ(nextResult(), expected);
}

TEST_F(UrlSearchTest, StopForgetsTheResultSoNothingPointsIntoAClearedStore) {
  for (int i = 0; i < 20000; ++i) add("https://a.example/page/" + std::to_string(i));
  search.search("PAGE/1", {});
  search.stop();  // waits for the scan to let go of the records
  store.clear();
  EXPECT_EQ(search.rows(), nullptr);
  EXPECT_FALSE(search.active());
}

TEST_F(UrlSearchTest, TypingOnNarrowsTheRowsFoundAndRowsAddedMeanwhileAreNotMissed) {
  for (int i = 0; i < 40; ++i) add("https://a.example/page/" + std::to_string(i));
  add("https://a.example/Shop/1");
  add("https://a.example/shop/12");
  search.search("shop", {});
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"https://a.example/Shop/1", "https://a.example/shop/12"}));
  search.search("SHOP/1", {});
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"https://a.example/Shop/1", "https://a.example/shop/12"}));
  search.search("shop/12", {});
  EXPECT_EQ(nextResult(), (std::vector<std::string>{"https://a.example/shop/12"}));

  // Rows come while the text changes: the rows of the earlier text are never taken as the new
  // text's, and the new rows are found.
  const std::vector<std::string> expected = {"https://a.example/shop/12", "https://a.example/SHOP/123"};
  search.search("shop/1", {});
  add("https://a.example/SHOP/123");
  add("https://a.example/page/123");
  search.rowsAdded(false);
  search.search("shop/12", {});
  EXPECT_TRUE(tallyvane::testing::eventually(
      [&] {
        const auto rows = search.rows();
        return rows && urlsOf(*rows) == expected;
      },
      "the rows of shop/12 with the one added"));
}

TEST(ContainsIgnoringCase, ComparesAsciiLettersWithoutCaseAndEverythingElseExactly) {
  EXPECT_TRUE(containsIgnoringCase("https://A.Example/Path", "a.example/p"));
  EXPECT_TRUE(containsIgnoringCase("abc", ""));
  EXPECT_FALSE(containsIgnoringCase("ab", "abc"));
  EXPECT_FALSE(containsIgnoringCase("https://a.example/%C3%A9", "%c3%a9x"));
  EXPECT_TRUE(containsIgnoringCase("aab", "ab"));  // a partial match is not the end of the scan
  EXPECT_FALSE(containsIgnoringCase("a-b", "a_b"));
  // Found by a byte without case, or by either case of a letter, wherever the match starts.
  EXPECT_TRUE(containsIgnoringCase("Product-0001", "product-0001"));
  EXPECT_TRUE(containsIgnoringCase("pp-1 P-2", "p-2"));
  EXPECT_FALSE(containsIgnoringCase("p-1 P-", "p-2"));
  EXPECT_TRUE(containsIgnoringCase("xCATegory", "category"));
  EXPECT_TRUE(containsIgnoringCase("caT", "t"));
  EXPECT_FALSE(containsIgnoringCase("-a", "a-"));
  EXPECT_TRUE(containsIgnoringCase("/2", "/2"));
}

}  // namespace
}  // namespace tallyvane
