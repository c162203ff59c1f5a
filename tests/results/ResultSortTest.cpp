#include "results/ResultSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>
#include <string>
#include <vector>

#include "results/ResultView.h"
#include "tests/support/Chains.h"

namespace tallyvane {
namespace {

using testing::chainOf;

class ResultSortTest : public ::testing::Test {
 protected:
  void add(const std::string& url, std::vector<int64_t> codes, int64_t time = 10) {
    ASSERT_TRUE(store.add(chainOf(url, std::move(codes), kChainPlain, time), TestMode::None, fatal));
  }
  std::vector<std::string> rows() const {
    std::vector<std::string> urls;
    for (int64_t row = 0; row < view.rowCount(); ++row) urls.emplace_back(view.recordAtRow(row)->first().url);
    return urls;
  }
  void sortBy(int column, SortDirection direction) {
    view.sortBy(column, direction);
    view.waitForSort();
  }

  ResultStore store;
  FatalErrorSlot fatal;
  ResultView view{store};
};

using Urls = std::vector<std::string>;

int compareRecords(int column, bool descending, const ResultRecord& a, const ResultRecord& b) {
  const ColumnOrder order(column, descending);
  return order.compare(order.keyOf(a), order.keyOf(b));
}

TEST_F(ResultSortTest, ColumnClicksCycleAscendingDescendingAscending) {
  add("http://b/", {404});
  add("http://a/", {200});
  add("http://c/", {301, 200});
  EXPECT_EQ(view.columnClicked(kUrlColumn), SortDirection::Ascending);
  view.waitForSort();
  EXPECT_EQ(rows(), (Urls{"http://a/", "http://b/", "http://c/"}));
  EXPECT_EQ(view.columnClicked(kUrlColumn), SortDirection::Descending);
  view.waitForSort();
  EXPECT_EQ(rows(), (Urls{"http://c/", "http://b/", "http://a/"}));
  EXPECT_EQ(view.columnClicked(kUrlColumn), SortDirection::Ascending);
  view.waitForSort();
  EXPECT_EQ(rows(), (Urls{"http://a/", "http://b/", "http://c/"}));
  EXPECT_EQ(view.columnClicked(kStatusCodeColumn), SortDirection::Ascending);  // another column starts over
  view.waitForSort();
  EXPECT_EQ(rows(), (Urls{"http://a/", "http://c/", "http://b/"}));
}

TEST_F(ResultSortTest, ChoosingAFilterDropsTheSort) {
  add("http://b/", {404});
  add("http://a/", {404});
  add("http://c/", {200});
  sortBy(kUrlColumn, SortDirection::Ascending);
  EXPECT_EQ(view.filteredUrlsText(false), "Filtered URLs:3");
  view.selectFilter(Filter::PageNotFound);
  EXPECT_EQ(view.direction(), SortDirection::None);
  EXPECT_EQ(rows(), (Urls{"http://b/", "http://a/"}));
  EXPECT_EQ(view.filteredUrlsText(true), "Filtered URLs: 2");
  sortBy(kUrlColumn, SortDirection::Ascending);
  EXPECT_EQ(rows(), (Urls{"http://a/", "http://b/"}));
  view.selectFilter(Filter::AllUrls);
  EXPECT_EQ(view.filteredUrlsText(false), "Filtered URLs: 3");
  EXPECT_EQ(view.filteredUrlsText(true), "");
}

TEST_F(ResultSortTest, RecordsAddedWhileSortedAreInsertedAfterTheirEquals) {
  add("http://first-404/", {404});
  add("http://a-200/", {200});
  sortBy(kStatusCodeColumn, SortDirection::Ascending);
  add("http://second-404/", {404});
  add("http://b-200/", {200});
  add("http://c-301/", {301, 200});
  add("http://third-404/", {404});
  EXPECT_EQ(rows(), (Urls{"http://a-200/", "http://b-200/", "http://c-301/", "http://first-404/", "http://second-404/",
                          "http://third-404/"}));
}

TEST_F(ResultSortTest, WithAFilterOnlyItsRecordsAreInserted) {
  add("http://z/", {404});
  view.selectFilter(Filter::PageNotFound);
  sortBy(kUrlColumn, SortDirection::Descending);
  add("http://a/", {404});
  add("http://ok/", {200});
  EXPECT_EQ(rows(), (Urls{"http://z/", "http://a/"}));
}

TEST_F(ResultSortTest, EveryColumnHasItsOrder) {
  auto slow = chainOf("http://x/slow", {200}, kChainPlain, 900);
  slow[0].contentType = "text/plain";
  slow[0].size = 5;
  slow[0].addLink().link = "http://x/";
  ASSERT_TRUE(store.add(slow, TestMode::None, fatal));
  add("http://x/fast", {301, 302, 200}, 5);
  const ResultRecord& a = *store.recordAtIndex(0);
  const ResultRecord& b = *store.recordAtIndex(1);
  EXPECT_EQ(compareRecords(kTypeColumn, false, a, b), 1);  // absent text counts as empty
  EXPECT_EQ(compareRecords(kSizeColumn, false, a, b), 1);
  EXPECT_EQ(compareRecords(kResponseTimeColumn, false, a, b), 1);
  EXPECT_EQ(compareRecords(kFinalUrlColumn, false, a, b), -1);
  EXPECT_EQ(compareRecords(kRedirectsColumn, false, a, b), -1);
  EXPECT_EQ(compareRecords(kLinkHeadersColumn, true, a, b), -1);
  EXPECT_EQ(compareRecords(kStatusColumn, false, a, a), 0);
}

TEST_F(ResultSortTest, TestResultsOrderByVerdictThenReasons) {
  for (const auto& [url, passed, reason] : {std::tuple{"http://1/", 0, "b"}, {"http://2/", 1, "a"}, {"http://3/", 0, "a"}}) {
    auto hops = chainOf(url, {200});
    hops[0].testPassed = static_cast<uint8_t>(passed);
    hops[0].testNote = reason;
    ASSERT_TRUE(store.add(hops, TestMode::Canonical, fatal));
  }
  sortBy(kTestResultColumn, SortDirection::Ascending);
  EXPECT_EQ(rows(), (Urls{"http://3/", "http://1/", "http://2/"}));
  sortBy(kTestResultColumn, SortDirection::Descending);
  EXPECT_EQ(rows(), (Urls{"http://2/", "http://1/", "http://3/"}));
}

TEST(ResultSortOrderTest, RowsAddedWhileSortedMatchAFreshStableSort) {
  ResultStore store;
  FatalErrorSlot fatal;
  std::mt19937 random(11);
  // Long shared stems (words of keys tie), paths that are prefixes of one another, hosts outside
  // the stem, absent texts, negative numbers, redirects and test verdicts, many keys equal.
  const auto addRandom = [&] {
    const std::vector<std::string> hosts{"http://r.example/shop/item-", "http://r.example/shop/item-", "https://other.example/",
                                         "http://a/"};
    std::string url = hosts[random() % hosts.size()];
    for (auto letters = random() % 14; letters > 0; --letters) url += "ab"[random() % 2];
    if (random() % 2) url += "?ref=" + std::to_string(random() % 30);
    auto hops = chainOf(url, random() % 4 ? std::vector<int64_t>{200} : std::vector<int64_t>{301, 200});
    hops[0].contentType = random() % 4 ? "text/html" : "";
    hops[0].size = static_cast<int64_t>(random() % 50) - 1;
    hops[0].testPassed = static_cast<uint8_t>(random() % 2);
    hops[0].testNote = random() % 3 ? "Redirects to " + std::to_string(random() % 20) : "";
    ASSERT_TRUE(store.add(hops, TestMode::Mapping, fatal));
  };
  for (const int column : {kUrlColumn, kFinalUrlColumn, kTypeColumn, kStatusCodeColumn, kSizeColumn, kTestResultColumn}) {
    for (const bool descending : {false, true}) {
      for (const int before : {0, 3000}) {  // sorted while empty, and with rows
        store.clear();
        for (int i = 0; i < before; ++i) addRandom();
        ResultView view(store);
        view.sortBy(column, descending ? SortDirection::Descending : SortDirection::Ascending);
        view.waitForSort();
        // Enough adds to split blocks of the order many times over.
        for (int i = 0; i < 12000; ++i) addRandom();
        std::vector<const ResultRecord*> expected;
        for (int64_t i = 0; i < store.count(); ++i) expected.push_back(store.recordAtIndex(i));
        std::stable_sort(expected.begin(), expected.end(),
                         [&](auto* a, auto* b) { return compareRecords(column, descending, *a, *b) < 0; });
        ASSERT_EQ(view.rowCount(), store.count());
        for (int64_t row = 0; row < view.rowCount(); ++row) {
          ASSERT_EQ(view.recordAtRow(row), expected[static_cast<size_t>(row)])
              << column << " " << descending << " " << before << " " << row;
        }
        EXPECT_EQ(view.recordAtRow(view.rowCount()), nullptr);
      }
    }
  }
}

// A numeric column sorts each number packed with its row in one word where their bits fit
// together, and by comparison where they do not: either way a fresh stable sort's order.
TEST(ResultSortOrderTest, NumbersAtTheirLimitsMatchAFreshStableSort) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min(), kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t k51Bits = (int64_t{1} << 51) - 1;  // with 13 bits of rows: exactly a word
  std::mt19937_64 random(5);
  std::vector<int64_t> spread;  // pairs that differ in one bit, any bit of a 46-bit range
  for (int i = 0; i < 150; ++i) {
    const int64_t value = static_cast<int64_t>(random() >> 18) - (int64_t{1} << 45);
    spread.push_back(value);
    spread.push_back(value ^ (int64_t{1} << (random() % 45)));
  }
  const std::vector<std::vector<int64_t>> valueSets{
      spread,
      {-1, 0, 5, -1, 5, 100000},
      {kMax, kMax - 1, kMax - 70000, kMax - 3},
      {kMin, kMin + 1, kMin + (int64_t{1} << 40)},
      {0, k51Bits, 17},
      {0, k51Bits + 1, 17},
      {kMin, kMax, 0, -1},
  };
  ResultStore store;
  FatalErrorSlot fatal;
  for (const auto& values : valueSets) {
    for (const Filter filter : {Filter::AllUrls, Filter::Success2xx}) {
      for (const bool descending : {false, true}) {
        ResultView view(store);
        view.clearStore();
        for (int i = 0; i < 5000; ++i) {
          auto hops = chainOf("http://n/" + std::to_string(i), {random() % 3 ? 200 : 404});
          hops[0].size = values[random() % values.size()];
          ASSERT_TRUE(store.add(hops, TestMode::None, fatal));
        }
        view.selectFilter(filter);
        std::vector<const ResultRecord*> expected;
        for (int64_t row = 0; row < view.rowCount(); ++row) expected.push_back(view.recordAtRow(row));
        std::stable_sort(expected.begin(), expected.end(),
                         [&](auto* a, auto* b) { return compareRecords(kSizeColumn, descending, *a, *b) < 0; });
        view.sortBy(kSizeColumn, descending ? SortDirection::Descending : SortDirection::Ascending);
        view.waitForSort();
        ASSERT_EQ(view.rowCount(), static_cast<int64_t>(expected.size()));
        for (int64_t row = 0; row < view.rowCount(); ++row) {
          ASSERT_EQ(view.recordAtRow(row), expected[static_cast<size_t>(row)])
              << values[1] << " " << filterNumber(filter) << " " << descending << " " << row;
        }
      }
    }
  }
}

// The word beside each row decides wherever two words differ, so it must never contradict the
// order, for texts inside and outside the prefix it was taken against.
TEST(ColumnOrderTest, WordsNeverContradictTheOrder) {
  std::mt19937 random(3);
  const auto randomText = [&] {
    std::string text;
    for (auto length = random() % 12; length > 0; --length) text += "ab1\xC3"[random() % 4];
    return text;
  };
  for (const bool descending : {false, true}) {
    const ColumnOrder order(kUrlColumn, descending);
    for (int i = 0; i < 20000; ++i) {
      const std::string a = randomText(), b = randomText(), prefix = randomText().substr(0, random() % 4);
      const ColumnKey keyA{0, a}, keyB{0, b};
      const uint64_t wordA = order.hint(keyA, prefix), wordB = order.hint(keyB, prefix);
      if (wordA != wordB) {
        ASSERT_EQ(wordA < wordB, order.before(keyA, keyB)) << a << " " << b << " " << prefix;
      }
    }
  }
}

TEST(ResultSortLargeTest, AMillionRowsInOrderAndInReverse) {
  ResultStore store;
  FatalErrorSlot fatal;
  HopRecord hop;
  hop.statusCode = 200;
  char url[32];
  for (int i = 0; i < 1000000; ++i) {
    std::snprintf(url, sizeof url, "http://s/%07d", i);
    hop.url = url;
    ASSERT_TRUE(store.add(std::span<const HopRecord>(&hop, 1), TestMode::None, fatal));
  }
  ResultView view(store);
  for (const SortDirection direction : {SortDirection::Ascending, SortDirection::Descending}) {
    view.sortBy(kUrlColumn, direction);
    view.waitForSort();
    ASSERT_EQ(view.rowCount(), 1000000);
    const bool up = direction == SortDirection::Ascending;
    EXPECT_STREQ(view.recordAtRow(0)->first().url, up ? "http://s/0000000" : "http://s/0999999");
    EXPECT_STREQ(view.recordAtRow(999999)->first().url, up ? "http://s/0999999" : "http://s/0000000");
    for (int64_t row = 1; row < 1000000; row += 9973) {
      const int order = std::strcmp(view.recordAtRow(row - 1)->first().url, view.recordAtRow(row)->first().url);
      ASSERT_TRUE(up ? order < 0 : order > 0) << row;
    }
  }
  // All equal: a stable sort keeps store order.
  view.sortBy(kStatusCodeColumn, SortDirection::Descending);
  view.waitForSort();
  EXPECT_EQ(view.recordAtRow(123456), store.recordAtIndex(123456));
}

// Many records in random order, so a sort takes long enough to be stopped or joined midway.
void addRandomUrls(ResultStore& store, int count, const std::string& prefix = "http://r/") {
  FatalErrorSlot fatal;
  std::mt19937 random(7);
  HopRecord hop;
  hop.statusCode = 200;
  for (int i = 0; i < count; ++i) {
    hop.url = prefix + std::to_string(random()) + "/" + std::to_string(i);
    ASSERT_TRUE(store.add(std::span<const HopRecord>(&hop, 1), TestMode::None, fatal));
  }
}

// -1: every row ascending by URL, 1: every row descending, 0: neither.
int urlOrderOf(const ResultView& view) {
  bool up = true, down = true;
  for (int64_t row = 1; row < view.rowCount(); ++row) {
    const int order = std::strcmp(view.recordAtRow(row - 1)->first().url, view.recordAtRow(row)->first().url);
    up = up && order < 0;
    down = down && order > 0;
  }
  return up ? -1 : down ? 1 : 0;
}

TEST(ResultSortStopTest, StoppingKeepsAWholeOrderNeverAHalfSortedOne) {
  ResultStore store;
  addRandomUrls(store, 200000);
  ResultView view(store);
  view.sortBy(kUrlColumn, SortDirection::Descending);
  view.waitForSort();
  // Records arriving meanwhile, as from workers, move the stop to later stages of the sort.
  for (int arriving : {0, 1000, 20000}) {
    view.sortBy(kUrlColumn, SortDirection::Ascending);
    addRandomUrls(store, arriving, "http://during-" + std::to_string(arriving) + "/");
    view.stopSort();
    ASSERT_EQ(view.rowCount(), store.count());
    if (store.isSorted()) {
      EXPECT_NE(urlOrderOf(view), 0) << "stopped after " << arriving << " records arrived";
    }
    view.sortBy(kUrlColumn, SortDirection::Descending);
    view.waitForSort();
  }
  view.sortBy(kUrlColumn, SortDirection::Ascending);
  view.clearStore();  // must not race a sort still reading records
  EXPECT_EQ(store.count(), 0);
  EXPECT_FALSE(store.isSorted());
}

TEST(ResultSortStopTest, RecordsAddedDuringASortAppearExactlyOnceInOrder) {
  ResultStore store;
  addRandomUrls(store, 200000);
  ResultView view(store);
  view.sortBy(kUrlColumn, SortDirection::Ascending);
  addRandomUrls(store, 2000, "http://during/");  // as workers do while the sort runs
  view.waitForSort();
  ASSERT_TRUE(store.isSorted());
  EXPECT_EQ(view.rowCount(), store.count());
  EXPECT_EQ(urlOrderOf(view), -1);  // strictly ascending: no record twice
}

}  // namespace
}  // namespace tallyvane
