#include "results/HtmlSummary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "results/CrawlOverview.h"
#include "tests/support/Chains.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

using testing::chainOf;
using testing::ScratchFolder;

size_t occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class HtmlSummaryTest : public ::testing::Test {
 protected:
  void add(std::vector<HopRecord> hops, TestMode testMode = TestMode::None) {
    ASSERT_TRUE(store.add(hops, testMode, fatal));
  }

  std::string summary(TestMode testMode = TestMode::None) {
    const auto file = folder / "summary.html";
    const auto failed = writeHtmlSummary(store, testMode, 2000, file);
    EXPECT_FALSE(failed) << failed->text;
    return ScratchFolder::read(file);
  }

  ResultStore store;
  FatalErrorSlot fatal;
  ScratchFolder folder;
};

TEST_F(HtmlSummaryTest, EveryTextFromAServerIsEscapedAndThePageNeedsNoScriptOrNetwork) {
  auto hostile = chainOf("http://a.example/<script>alert(1)</script>", {500}, kChainPlain, 3000);
  hostile[0].statusText = "<script>alert('status')</script> & \"more\"";
  add(hostile);
  const std::string html = summary();

  EXPECT_EQ(html.find("<script"), std::string::npos) << "a server's text became markup";
  EXPECT_NE(html.find("&lt;script&gt;alert(&apos;status&apos;)&lt;/script&gt; &amp; &quot;more&quot;"), std::string::npos);
  EXPECT_NE(html.find("http://a.example/&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  // Self-contained: nothing is fetched, nothing runs.
  EXPECT_EQ(html.find("src="), std::string::npos);
  EXPECT_EQ(html.find("href="), std::string::npos);
  EXPECT_EQ(html.find("@import"), std::string::npos);
  EXPECT_EQ(occurrences(html, "<svg "), 3u);
}

TEST_F(HtmlSummaryTest, HoldsTheFilterCountsTheLongestChainsAndTheSlowestUrls) {
  add(chainOf("http://a.example/ok", {200}, kChainPlain, 40));
  add(chainOf("http://a.example/slow", {200}, kChainPlain, 4500));
  add(chainOf("http://a.example/one", {301, 200}));
  add(chainOf("http://a.example/three", {301, 302, 301, 200}, kChainRedirects));
  add(chainOf("http://a.example/gone", {0}, kChainFailed));
  add(chainOf("http://a.example/instant", {200}, kChainPlain, 0));
  const std::string html = summary();

  EXPECT_NE(html.find("<td>All URLs</td><td class=\"n\">6</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>Redirect Chains</td><td class=\"n\">1</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>No Response / Timeout</td><td class=\"n\">1</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>Redirects to Errors</td><td class=\"n\">0</td>"), std::string::npos);
  EXPECT_EQ(html.find("Test Failed"), std::string::npos) << "no test, no such filter";
  // Longest chain first; a URL without redirects is no chain.
  const size_t chains = html.find("Longest redirect chains");
  const size_t slowest = html.find("Slowest URLs");
  ASSERT_NE(chains, std::string::npos);
  ASSERT_NE(slowest, std::string::npos);
  const std::string chainPart = html.substr(chains, slowest - chains);
  EXPECT_LT(chainPart.find("a.example/three"), chainPart.find("a.example/one</code></td>"));
  EXPECT_EQ(chainPart.find("a.example/ok"), std::string::npos);
  // Slowest first; a URL without an answer has no time to rank.
  const std::string slowPart = html.substr(slowest);
  EXPECT_LT(slowPart.find("a.example/slow"), slowPart.find("a.example/ok"));
  EXPECT_NE(slowPart.find("4.50"), std::string::npos);
  EXPECT_EQ(slowPart.find("a.example/gone"), std::string::npos);
  const size_t instant = slowPart.find("a.example/instant");
  ASSERT_NE(instant, std::string::npos) << "an answer in 0 ms was left out";
  EXPECT_LT(slowPart.find("a.example/ok"), instant);
  EXPECT_EQ(html.find("Test failures"), std::string::npos);
}

TEST_F(HtmlSummaryTest, TestFailuresAreGroupedByEachOfTheirReasons) {
  auto loop = chainOf("http://a.example/loop", {301, 301}, kChainLoop);
  loop[0].testPassed = 0;
  loop[0].testNote = "[redirect loop],[not 301]";
  add(loop, TestMode::Mapping);
  auto other = chainOf("http://a.example/other", {302, 200});
  other[0].testPassed = 0;
  other[0].testNote = "[not 301]";
  add(other, TestMode::Mapping);
  add(chainOf("http://a.example/fine", {301, 200}), TestMode::Mapping);
  const std::string html = summary(TestMode::Mapping);

  EXPECT_NE(html.find("2 URLs failed."), std::string::npos);
  EXPECT_NE(html.find("<td>Test Failed</td><td class=\"n\">2</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>Redirects to Errors</td><td class=\"n\">1</td>"), std::string::npos);  // the loop
  EXPECT_NE(html.find("<td>[not 301]</td><td class=\"n\">2</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>[redirect loop]</td><td class=\"n\">1</td>"), std::string::npos);
  EXPECT_EQ(html.find("a.example/fine", html.find("Test failures")), std::string::npos);
}

TEST(TestReasons, SplitOnlyBetweenBrackets) {
  EXPECT_EQ(testReasonsOf("[a],[b, c]"), (std::vector<std::string_view>{"[a]", "[b, c]"}));
  EXPECT_EQ(testReasonsOf("[only]"), (std::vector<std::string_view>{"[only]"}));
  EXPECT_TRUE(testReasonsOf("").empty());
}

TEST_F(HtmlSummaryTest, AFileThatCannotBeCreatedIsRefusedAndAnOldSummaryStaysWhole) {
  const auto missingFolder = folder / "missing" / "summary.html";
  const auto failed = writeHtmlSummary(store, TestMode::None, 2000, missingFolder);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, std::string(kCannotCreateReportMessage) + missingFolder.string());

  add(chainOf("http://a.example/ok", {200}));
  const auto file = folder.write("old.html", "old");
  std::atomic<bool> quitting{true};
  EXPECT_TRUE(writeHtmlSummary(store, TestMode::None, 2000, file, {}, &quitting));
  EXPECT_EQ(ScratchFolder::read(file), "old");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".partial"));
}

TEST(CrawlOverviewCounts, ClassesChainKindsAndTimesWithTheFiltersTheirBarsSelect) {
  ResultStore store;
  FatalErrorSlot fatal;
  for (const auto& hops : {chainOf("http://a.example/1", {200}, kChainPlain, 50),
                           chainOf("http://a.example/2", {301, 404}, kChainPlain, 1500),
                           chainOf("http://a.example/3", {301, 301, 301}, kChainLoop),
                           chainOf("http://a.example/4", {0}, kChainFailed),
                           chainOf("http://a.example/5", {503}, kChainPlain, 12000)}) {
    ASSERT_TRUE(store.add(hops, TestMode::None, fatal));
  }
  CrawlOverview overview(2000);
  overview.addNewRecords(store);
  const auto counts = [&](OverviewChart chart) {
    std::vector<int64_t> values;
    for (const OverviewBar& bar : overview.bars(chart)) values.push_back(bar.count);
    return values;
  };
  EXPECT_EQ(counts(OverviewChart::StatusClasses), (std::vector<int64_t>{1, 2, 0, 1, 1}));
  EXPECT_EQ(counts(OverviewChart::ChainKinds), (std::vector<int64_t>{3, 1, 0, 1, 0}));
  // The whole chain's time: 3 s for the redirect to a 404.
  EXPECT_EQ(counts(OverviewChart::ResponseTimes), (std::vector<int64_t>{2, 0, 0, 0, 0, 1, 0, 1}));
  EXPECT_EQ(overview.bars(OverviewChart::StatusClasses)[2].filter, Filter::ClientErrors4xx);
  EXPECT_EQ(overview.bars(OverviewChart::ResponseTimes)[4].filter, std::nullopt);
  EXPECT_EQ(overview.bars(OverviewChart::ResponseTimes)[5].filter, Filter::SlowPages);

  // Only new records are counted again; an emptied store starts the counts afresh.
  ASSERT_TRUE(store.add(chainOf("http://a.example/6", {200}), TestMode::None, fatal));
  EXPECT_TRUE(overview.addNewRecords(store));
  EXPECT_EQ(overview.counted(), 6);
  store.clear();
  EXPECT_FALSE(overview.addNewRecords(store));
  EXPECT_EQ(counts(OverviewChart::StatusClasses), (std::vector<int64_t>{0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace tallyvane
