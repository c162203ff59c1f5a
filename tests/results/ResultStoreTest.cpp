#include "results/ResultStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Chains.h"

namespace tallyvane {
namespace {

using ::testing::ElementsAreArray;

using testing::chainOf;

uint32_t zlibCrc(std::string_view bytes) {
  return static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

class ResultStoreTest : public ::testing::Test {
 protected:
  bool add(const std::vector<HopRecord>& hops, TestMode testMode = TestMode::None) { return store.add(hops, testMode, fatal); }

  std::vector<int> filtersOf(int64_t index) {
    std::vector<int> result;
    for (const Filter filter : kFilters) {
      if (filter == Filter::AllUrls) continue;
      for (int64_t row = 0; row < store.rowCount({false, filter}); ++row) {
        if (store.recordAtRow(row, {false, filter}) == store.recordAtIndex(index)) result.push_back(filterNumber(filter));
      }
    }
    return result;
  }

  ResultStore store;
  FatalErrorSlot fatal;
};

TEST_F(ResultStoreTest, KeepsHopZeroAndTheRedirectsThatLeadFromIt) {
  ASSERT_TRUE(add(chainOf("http://a.example/", {200, 301})));  // hops after the answer are not kept
  ASSERT_TRUE(add(chainOf("http://b.example/", {301, 302, 404})));
  ASSERT_TRUE(add(chainOf("http://c.example/", std::vector<int64_t>(13, 301), kChainMaxRedirects)));
  EXPECT_EQ(store.recordAtIndex(0)->responseCount, 1);
  EXPECT_EQ(store.recordAtIndex(1)->responseCount, 3);
  EXPECT_EQ(store.recordAtIndex(1)->last().statusCode, 404);
  EXPECT_EQ(store.recordAtIndex(2)->responseCount, 11);
  EXPECT_EQ(store.recordAtIndex(2)->chainKind, kChainMaxRedirects);
  EXPECT_STREQ(store.recordAtIndex(2)->last().url, "http://c.example//10");
}

TEST_F(ResultStoreTest, CopiesEveryFieldAndStoresEmptyTextAsAbsent) {
  auto hops = chainOf("http://a.example/caf\xC3\xA9", {200});
  HopRecord& hop = hops[0];
  hop.size = 512;
  hop.responseTime = 33;
  hop.statusText = "OK";
  hop.contentType = "text/html; charset=utf-8";
  hop.xRobotsTag = "noindex";
  hop.rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  hop.addLink() = {"https://a.example/de", "alternate", "de"};
  hop.addLink() = {"https://a.example/", "canonical", ""};
  hop.testNote = "[not stored outside test modes]";
  ASSERT_TRUE(add(hops));
  const ResponseRecord& r = store.recordAtIndex(0)->first();
  EXPECT_STREQ(r.url, "http://a.example/caf\xC3\xA9");  // UTF-8 bytes kept
  EXPECT_EQ(r.size, 512);
  EXPECT_EQ(r.responseTime, 33);
  EXPECT_STREQ(r.statusText, "OK");
  EXPECT_STREQ(r.type, "text/html; charset=utf-8");
  EXPECT_STREQ(r.xRobotsTag, "noindex");
  EXPECT_EQ(r.vary, nullptr);
  EXPECT_EQ(r.rawHeaders.text(), "HTTP/1.1 200 OK\r\n\r\n");
  ASSERT_EQ(r.linkCount, 2);
  EXPECT_STREQ(r.links[0].hreflang, "de");
  EXPECT_STREQ(r.links[1].rel, "canonical");
  EXPECT_EQ(r.links[1].hreflang, nullptr);
  EXPECT_EQ(store.recordAtIndex(0)->testReason, nullptr);
}

TEST_F(ResultStoreTest, TestFieldsAreStoredOnlyInTestModes) {
  auto hops = chainOf("http://a.example/", {301, 200});
  hops[0].testNote = "[redirect loop]";
  hops[0].testPassed = 0;
  ASSERT_TRUE(add(hops, TestMode::Mapping));
  EXPECT_STREQ(store.recordAtIndex(0)->testReason, "[redirect loop]");
  EXPECT_EQ(store.recordAtIndex(0)->testPassed, 0);
}

TEST_F(ResultStoreTest, RecordsOnBothSidesOfABlockBoundary) {
  for (int i = 0; i < 1025; ++i) ASSERT_TRUE(add(chainOf("http://a.example/" + std::to_string(i), {200})));
  const ResultRecord* last = store.recordAtIndex(1022);
  for (int i : {1023, 1024}) {
    const ResultRecord* record = store.recordAtIndex(i);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(textOf(record->first().url), "http://a.example/" + std::to_string(i));
    EXPECT_NE(record, last);
    last = record;
  }
  EXPECT_EQ(store.recordAtIndex(1025), nullptr);
  EXPECT_EQ(store.recordAtIndex(-1), nullptr);
  EXPECT_EQ(store.count(), 1025);
}

TEST_F(ResultStoreTest, UrlsWithTheSameCrcAreBothFoundWhileTheIndexGrows) {
  // Two URLs whose whole CRC-32 is equal (found by a birthday search): only their bytes tell
  // them apart.
  const std::string first = "http://crc.example/fswd4dyg3i";
  const std::string second = "http://crc.example/yc3ktahsjd";
  ASSERT_EQ(zlibCrc(first), zlibCrc(second));
  ASSERT_TRUE(add(chainOf(first, {200})));
  EXPECT_FALSE(store.contains(second));
  ASSERT_TRUE(add(chainOf(second, {404})));
  for (int i = 0; i < 300000; ++i) ASSERT_TRUE(add(chainOf("http://grow.example/" + std::to_string(i), {200})));
  EXPECT_TRUE(store.contains(first));
  EXPECT_TRUE(store.contains(second));
  EXPECT_FALSE(store.contains(first + "x"));
  for (int i = 0; i < 300000; i += 997) ASSERT_TRUE(store.contains("http://grow.example/" + std::to_string(i))) << i;
  EXPECT_FALSE(store.contains("http://grow.example/300000"));
}

TEST(UrlCrcTest, IsZlibsCrc32AtEveryLengthAndAlignment) {
  std::mt19937 random(3);
  std::string bytes(140, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  for (size_t start = 0; start < 8; ++start) {
    for (size_t size = 0; start + size <= bytes.size(); ++size) {
      const std::string_view url(bytes.data() + start, size);
      ASSERT_EQ(urlCrc(url), zlibCrc(url)) << start << " " << size;
    }
  }
}

TEST_F(ResultStoreTest, HeaderBlocksComeBackByteForByteOnceCompressed) {
  // Past the blocks the dictionary is made of, with varied lines, one block of random bytes
  // (which does not compress) and one larger than the dictionary. Every other chain has its
  // blocks packed ahead on another thread, as crawl workers do.
  std::mt19937 random(3);
  PackedChain packed;
  std::vector<std::string> blocks;
  for (size_t i = 0; i < HeaderPacker::kSampleBlocks + 600; ++i) {
    std::string block = "HTTP/1.1 200 OK\r\nServer: nginx\r\nContent-Length: " + std::to_string(random()) +
                        "\r\nETag: \"" + std::to_string(random()) + "\"\r\nX-Note: caf\xC3\xA9\r\n\r\n";
    if (i == HeaderPacker::kSampleBlocks + 100) {
      block.clear();
      for (int k = 0; k < 5000; ++k) block.push_back(static_cast<char>(random()));
    }
    if (i == HeaderPacker::kSampleBlocks + 200) block = std::string(100000, 'h') + block;
    auto hops = chainOf("http://packed.example/" + std::to_string(i), {200});
    hops[0].rawHeaders = block;
    if (i % 2 == 1) {
      std::thread([&] { store.packHeaders(hops, packed); }).join();
      EXPECT_EQ(packed.count, i < HeaderPacker::kSampleBlocks ? 0u : 1u) << i;
      ASSERT_TRUE(store.add(hops, TestMode::None, fatal, &packed));
    } else {
      ASSERT_TRUE(add(hops));
    }
    blocks.push_back(std::move(block));
  }
  // Then workers pack side by side, as a crawl's do, each its own blocks.
  const size_t alone = blocks.size();
  constexpr int kWorkers = 4, kBlocksEach = 300;
  for (int i = 0; i < kWorkers * kBlocksEach; ++i) {
    blocks.push_back("HTTP/1.1 200 OK\r\nX-Block: " + std::to_string(i) + "\r\nETag: \"" + std::to_string(random()) + "\"\r\n\r\n");
  }
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      PackedChain own;
      for (size_t i = alone + w * kBlocksEach; i < alone + (w + 1) * kBlocksEach; ++i) {
        auto hops = chainOf("http://side.example/" + std::to_string(i), {200});
        hops[0].rawHeaders = blocks[i];
        store.packHeaders(hops, own);
        if (own.count != 1 || !store.add(hops, TestMode::None, fatal, &own)) return;
      }
    });
  }
  for (auto& worker : workers) worker.join();
  ASSERT_EQ(store.count(), static_cast<int64_t>(blocks.size()));
  std::string buffer;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const ResultRecord* record = store.recordAtIndex(static_cast<int64_t>(i));
    const std::string_view url = textOf(record->first().url);
    const size_t block = i < alone ? i : std::stoul(std::string(url.substr(url.rfind('/') + 1)));
    ASSERT_EQ(record->first().rawHeaders.text(buffer), blocks[block]) << url;
  }
}

TEST_F(ResultStoreTest, LookupComparesExactBytes) {
  ASSERT_TRUE(add(chainOf("http://a.example/Page", {200})));
  EXPECT_TRUE(store.contains("http://a.example/Page"));
  EXPECT_FALSE(store.contains("http://a.example/page"));
  EXPECT_FALSE(store.contains("http://a.example/Page/"));
}

TEST_F(ResultStoreTest, AClaimEndsWithTheAddOfItsChainOrWithItsRelease) {
  const auto stored = chainOf("http://a.example/1", {200});
  const std::string stopped = "http://a.example/2";
  PackedChain first, second;
  ASSERT_TRUE(store.claim(stored[0].url, first));
  EXPECT_FALSE(store.claim(stored[0].url, second));  // claimed
  ASSERT_TRUE(store.add(stored, TestMode::None, fatal, &first));
  EXPECT_FALSE(first.claimedCrc);
  EXPECT_FALSE(store.claim(stored[0].url, second));  // stored

  ASSERT_TRUE(store.claim(stopped, first));
  EXPECT_FALSE(store.claim(stopped, second));
  store.release(stopped, first);
  EXPECT_TRUE(store.claim(stopped, second));
  EXPECT_EQ(store.count(), 1);
}

TEST_F(ResultStoreTest, OnlyATestsFailuresAreInTestFailed) {
  const auto verdict = [](const std::string& url, uint8_t passed) {
    auto hops = chainOf(url, {200});
    hops[0].testPassed = passed;
    return hops;
  };
  ASSERT_TRUE(add(verdict("http://a/pass", 1), TestMode::Mapping));
  ASSERT_TRUE(add(verdict("http://a/fail", 0), TestMode::Mapping));
  ASSERT_TRUE(add(verdict("http://a/canonical-fail", 0), TestMode::Canonical));
  ASSERT_TRUE(add(verdict("http://a/no-test", 0)));  // no verdict at all, whatever the hop says
  EXPECT_THAT(filtersOf(0), ElementsAreArray({1, 3}));
  EXPECT_THAT(filtersOf(1), ElementsAreArray({1, 3, 15}));
  EXPECT_THAT(filtersOf(2), ElementsAreArray({1, 3, 15}));
  EXPECT_THAT(filtersOf(3), ElementsAreArray({1, 3}));
}

TEST(FiltersTest, NumbersAndNamesStayAsCommandLinesAndListsUseThem) {
  std::vector<std::string_view> names = {
      "All URLs",          "HTTP URLs",      "HTTPS URLs",        "2XX - Success", "3XX - Redirects",
      "301 Redirects",     "302 Redirects",  "Redirect Chains",   "Redirect Loops", "4xx Client Errors",
      "Page Not Found",    "5xx Server Errors", "Slow Pages",     "No Response / Timeout",
  };
  names.push_back("Redirects to Errors");
  names.push_back("Test Failed");
  ASSERT_EQ(kFilters.size(), names.size());
  for (int number = 0; number < static_cast<int>(names.size()); ++number) {
    const auto filter = filterFromNumber(number);
    ASSERT_TRUE(filter) << number;
    EXPECT_EQ(filterNumber(*filter), number);
    EXPECT_EQ(kFilters[static_cast<size_t>(number)], *filter);
    EXPECT_EQ(filterName(*filter), names[static_cast<size_t>(number)]);
  }
  EXPECT_EQ(filterNumber(Filter::PageNotFound), 10);
  for (const int64_t outside : {int64_t{-1}, static_cast<int64_t>(names.size()), int64_t{1} << 32}) {
    EXPECT_FALSE(filterFromNumber(outside)) << outside;
  }
}

TEST_F(ResultStoreTest, EveryFilterPredicate) {
  struct Case {
    std::string url;
    std::vector<int64_t> codes;
    int64_t kind;
    int64_t timeEach;
    std::vector<int> filters;
  };
  const std::vector<Case> cases = {
      {"http://a/", {200}, kChainPlain, 10, {1, 3}},
      {"HTTPS://a/", {204}, kChainPlain, 10, {2, 3}},
      {"https://a/slow", {200}, kChainPlain, 2001, {2, 3, 12}},
      {"http://a/2000", {301, 200}, kChainPlain, 1000, {1, 4, 5}},
      {"http://a/2002", {301, 200}, kChainPlain, 1001, {1, 4, 5, 12}},
      {"http://a/301", {301, 200}, kChainPlain, 10, {1, 4, 5}},
      {"http://a/307", {307, 200}, kChainPlain, 10, {1, 4, 6}},
      {"http://a/chain", {301, 302, 200}, kChainRedirects, 10, {1, 4, 5, 7}},
      // A loop's last hop and an over-long chain's are never requested: no final answer.
      {"http://a/loop", {302, 301, 0}, kChainLoop, 10, {1, 4, 6, 7, 8, 14}},
      {"http://a/self", {301, 0}, kChainLoop, 10, {1, 4, 5, 8, 14}},
      {"http://a/far", {301, 301, 301, 301, 301, 301, 301, 301, 301, 301, 0}, kChainMaxRedirects, 10, {1, 4, 5, 7, 14}},
      {"http://a/to-404", {301, 404}, kChainPlain, 10, {1, 4, 5, 14}},
      {"http://a/to-410", {302, 302, 410}, kChainRedirects, 10, {1, 4, 6, 7, 14}},
      {"http://a/to-503", {307, 503}, kChainPlain, 10, {1, 4, 6, 14}},
      {"http://a/to-dead", {301, 0}, kChainFailed, 10, {1, 4, 5, 14}},
      {"http://a/to-1xx", {301, 199}, kChainPlain, 10, {1, 4, 5}},
      {"http://a/404", {404}, kChainPlain, 10, {1, 9, 10}},
      {"http://a/410", {410}, kChainPlain, 10, {1, 9}},
      {"http://a/500", {500}, kChainPlain, 10, {1, 11}},
      {"http://a/504", {504}, kChainPlain, 1999, {1, 11, 13}},
      {"http://a/dead", {0}, kChainFailed, -1, {1, 12, 13}},  // no redirect: not a redirect to an error
      {"ftp://a/", {200}, kChainPlain, 10, {3}},
      {"hTtPs://a/", {200}, kChainPlain, 10, {2, 3}},
      {"httpx://a/", {200}, kChainPlain, 10, {3}},
      {"https:/a/", {200}, kChainPlain, 10, {3}},
      {"http", {200}, kChainPlain, 10, {3}},
      {"hTTP://", {200}, kChainPlain, 10, {1, 3}},
  };
  for (const Case& c : cases) ASSERT_TRUE(add(chainOf(c.url, c.codes, c.kind, c.timeEach)));
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_THAT(filtersOf(static_cast<int64_t>(i)), ElementsAreArray(cases[i].filters)) << cases[i].url;
  }
}

TEST_F(ResultStoreTest, RowsFollowTheFilterAndStayInRange) {
  ASSERT_TRUE(add(chainOf("http://a/1", {404})));
  ASSERT_TRUE(add(chainOf("http://a/2", {200})));
  ASSERT_TRUE(add(chainOf("http://a/3", {404})));
  const ViewSelection notFound{false, Filter::PageNotFound};
  EXPECT_EQ(store.rowCount(notFound), 2);
  EXPECT_EQ(store.recordAtRow(1, notFound), store.recordAtIndex(2));
  EXPECT_EQ(store.recordAtRow(2, notFound), nullptr);
  EXPECT_EQ(store.recordAtRow(2, {}), store.recordAtIndex(2));
  EXPECT_EQ(store.recordAtRow(3, {}), nullptr);
  EXPECT_EQ(store.rowCount({true, Filter::AllUrls}), 0);  // no sorted order yet
}

TEST_F(ResultStoreTest, ClearEmptiesEverything) {
  for (int i = 0; i < 2000; ++i) {
    auto hops = chainOf("http://a/" + std::to_string(i), {404});
    hops[0].contentType = "text/html";  // one copy shared by every record
    ASSERT_TRUE(add(hops));
  }
  store.clear();
  EXPECT_EQ(store.count(), 0);
  EXPECT_EQ(store.recordAtIndex(0), nullptr);
  EXPECT_FALSE(store.contains("http://a/1"));
  EXPECT_EQ(store.rowCount({false, Filter::PageNotFound}), 0);
  auto hops = chainOf("http://a/1", {200});
  hops[0].contentType = "text/html";  // a new copy: the shared one went with the store
  ASSERT_TRUE(add(hops));
  EXPECT_TRUE(store.contains("http://a/1"));
  EXPECT_EQ(store.rowCount({false, Filter::Success2xx}), 1);
  EXPECT_STREQ(store.recordAtIndex(0)->first().type, "text/html");
}

TEST(ResultStoreMemoryTest, OutOfMemoryAddsNothingAndFillsTheFatalSlot) {
  ResultStore store(ResultStoreOptions{.memoryLimitBytes = 2 * Arena::kChunkSize});
  FatalErrorSlot fatal;
  auto hops = chainOf("http://a.example/", {200});
  hops[0].rawHeaders = std::string(300000, 'h');  // each record takes its own chunk
  int added = 0;
  PackedChain claim;
  while (store.claim(hops[0].url, claim) && store.add(hops, TestMode::None, fatal, &claim)) {
    ++added;
    hops[0].url = "http://a.example/" + std::to_string(added);
  }
  EXPECT_GT(added, 0);
  EXPECT_EQ(store.count(), added);
  EXPECT_FALSE(store.contains(hops[0].url));
  EXPECT_EQ(store.rowCount({false, Filter::HttpUrls}), added);
  const FatalError error = fatal.get();
  EXPECT_EQ(error.title, "Error");
  EXPECT_EQ(error.message, "Not enough memory!");
  EXPECT_EQ(error.code, kOutOfMemory);
  EXPECT_EQ(store.recordAtIndex(added - 1)->first().rawHeaders.text().size(), 300000u);
  EXPECT_TRUE(store.claim(hops[0].url, claim));  // the failed add ended its claim
}

TEST(ResultStoreConcurrencyTest, WorkersAddWhileReadersRead) {
  ResultStore store;
  constexpr int kWriters = 4, kEach = 3000;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      const int64_t n = store.count();
      if (n > 0) {
        EXPECT_NE(store.recordAtIndex(n - 1)->first().url, nullptr);
      }
      store.contains("http://w0/0");
    }
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      FatalErrorSlot fatal;
      for (int i = 0; i < kEach; ++i) {
        EXPECT_TRUE(store.add(chainOf("http://w" + std::to_string(w) + "/" + std::to_string(i), {200}), TestMode::None, fatal));
      }
    });
  }
  for (auto& t : writers) t.join();
  done = true;
  reader.join();
  EXPECT_EQ(store.count(), kWriters * kEach);
  std::set<std::string> urls;
  for (int64_t i = 0; i < store.count(); ++i) urls.insert(store.recordAtIndex(i)->first().url);
  EXPECT_EQ(urls.size(), static_cast<size_t>(kWriters * kEach));
}

}  // namespace
}  // namespace tallyvane

