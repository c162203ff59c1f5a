#include "results/CsvReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>

#include "results/ResultColumns.h"
#include "results/ResultView.h"
#include "tests/support/Chains.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

using testing::chainOf;
using testing::ScratchFolder;

const std::string kBom = "\xEF\xBB\xBF";

class CsvReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A page without redirects, with headers worth reporting and awkward characters.
    auto plain = chainOf("http://a.example/page", {200});
    plain[0].statusText = "OK";
    plain[0].contentType = "text/html; charset=\"utf-8\"";
    plain[0].size = 512;
    plain[0].responseTime = 250;
    plain[0].xRobotsTag = "[noindex, nofollow]";
    plain[0].rawHeaders = "HTTP/1.1 200 OK\r\nX-Quote: say \"hi\"\r\n\r\n";
    plain[0].addLink() = {"http://a.example/de", "alternate", "[de]"};
    plain[0].addLink() = {"http://a.example/page", "canonical", ""};
    add(plain);
    // Two redirects ending at a 404 of unknown size.
    auto two = chainOf("http://a.example/old", {301, 302, 404}, kChainRedirects, 1500);
    two[0].statusText = "Moved Permanently";
    two[1].statusText = "Found";
    two[2].statusText = "Not Found";
    for (auto& hop : two) hop.size = -1;
    add(two);
    // A loop of three responses: the third repeats the first URL and was never requested.
    auto loop = chainOf("http://a.example/a", {301, 301, 0}, kChainLoop);
    loop[1].url = "http://a.example/b";
    loop[2].url = "http://a.example/a";
    loop[2].responseTime = -1;
    loop[0].statusText = loop[1].statusText = "Redirect Loop";
    add(loop);
  }

  void add(const std::vector<HopRecord>& hops, TestMode testMode = TestMode::None) {
    ASSERT_TRUE(store.add(hops, testMode, fatal));
  }

  std::string report(ReportKind kind, TestMode testMode = TestMode::None, ViewSelection view = {}) {
    const auto file = folder / "report.csv";
    EXPECT_FALSE(writeReport(store, view, kind, testMode, file));
    return ScratchFolder::read(file);
  }

  ResultStore store;
  FatalErrorSlot fatal;
  ScratchFolder folder;
};

TEST_F(CsvReportTest, StandardReportOneLinePerResponse) {
  EXPECT_EQ(report(ReportKind::Standard),
            kBom +
                "\"URL\",\"Type\",\"Code\",\"Status\",\"Size\",\"Response Time\",\"X-Robots-Tag\",\"Vary\","
                "\"Redirect to Final URL\",\"# Redirects\",\"# Link Headers\"\n"
                "\"http://a.example/page\",\"text/html; charset=\"\"utf-8\"\"\",\"200\",\"OK\",\"512\",\"0.25\","
                "\"[noindex, nofollow]\",\"\",\"\",\"0\",\"2\"\n"
                "\"http://a.example/old\",\"\",\"301\",\"Moved Permanently\",\"\",\"1.50\",\"\",\"\","
                "\"http://a.example/old/2\",\"2\",\"0\"\n"
                "\"http://a.example/old/1\",\"\",\"302\",\"Found\",\"\",\"1.50\",\"\",\"\",\"http://a.example/old/2\","
                "\"1\",\"0\"\n"
                "\"http://a.example/old/2\",\"\",\"404\",\"Not Found\",\"\",\"1.50\",\"\",\"\",\"\",\"0\",\"0\"\n"
                "\"http://a.example/a\",\"\",\"301\",\"Redirect Loop\",\"\",\"0.01\",\"\",\"\",\"http://a.example/a\","
                "\"2\",\"0\"\n"
                "\"http://a.example/b\",\"\",\"301\",\"Redirect Loop\",\"\",\"0.01\",\"\",\"\",\"http://a.example/a\","
                "\"1\",\"0\"\n");
}

TEST_F(CsvReportTest, NoStatusMeansNoResponseTimeWhateverTheTimeHolds) {
  ResultStore failed;
  ASSERT_TRUE(failed.add(chainOf("http://dead.example/", {0}, kChainFailed, 1234), TestMode::None, fatal));
  const auto file = folder / "failed.csv";
  ASSERT_FALSE(writeReport(failed, {}, ReportKind::Standard, TestMode::None, file));
  EXPECT_NE(ScratchFolder::read(file).find("\n\"http://dead.example/\",\"\",\"\",\"\",\"\",\"\","), std::string::npos);
  EXPECT_EQ(cellText(*failed.recordAtIndex(0), kResponseTimeColumn), "");
}

TEST_F(CsvReportTest, RedirectDetailsOneLinePerRecordWithEveryHop) {
  std::string header = "\"URL\",\"# Redirects\",\"Redirect Class\"";
  for (int i = 1; i <= 10; ++i) {
    for (const char* title : {"Type ", "Code ", "Status ", "Redirect URL "}) header += ",\"" + (title + std::to_string(i)) + "\"";
  }
  EXPECT_EQ(report(ReportKind::RedirectDetails),
            kBom + header + "\n" +
                "\"http://a.example/page\",\"0\",\"No Redirect\",\"text/html; charset=\"\"utf-8\"\"\",\"200\",\"OK\",\"\"\n"
                "\"http://a.example/old\",\"2\",\"Redirect Chain\",\"\",\"301\",\"Moved Permanently\","
                "\"http://a.example/old/1\",\"\",\"302\",\"Found\",\"http://a.example/old/2\",\"\",\"404\",\"Not Found\","
                "\"\"\n"
                "\"http://a.example/a\",\"2\",\"Redirect Loop\",\"\",\"301\",\"Redirect Loop\",\"http://a.example/b\",\"\","
                "\"301\",\"Redirect Loop\",\"http://a.example/a\",\"\",\"\",\"\",\"\"\n");
}

TEST_F(CsvReportTest, LinkAndRawHeaderReports) {
  const std::string links = report(ReportKind::LinkHeaders);
  EXPECT_TRUE(links.starts_with(kBom + "\"URL\",\"# Link Headers\",\"Link 1\",\"Rel 1\",\"hreflang 1\",\"Link 2\""));
  EXPECT_NE(links.find(",\"Link 30\",\"Rel 30\",\"hreflang 30\"\n"), std::string::npos);
  EXPECT_NE(links.find("\n\"http://a.example/page\",\"2\",\"http://a.example/de\",\"alternate\",\"[de]\","
                       "\"http://a.example/page\",\"canonical\",\"\"\n"),
            std::string::npos);
  EXPECT_NE(links.find("\n\"http://a.example/old/2\",\"0\"\n\"http://a.example/a\",\"0\"\n\"http://a.example/b\",\"0\"\n"),
            std::string::npos);
  EXPECT_EQ(std::count(links.begin(), links.end(), '\n'), 7);  // header, 1 + 3 + 2 responses

  EXPECT_EQ(report(ReportKind::RawHeaders),
            kBom + "\"URL\",\"Raw Response Header\"\n" +
                "\"http://a.example/page\",\"HTTP/1.1 200 OK\r\nX-Quote: say \"\"hi\"\"\r\n\r\n\"\n"
                "\"http://a.example/old\",\"\"\n\"http://a.example/old/1\",\"\"\n\"http://a.example/old/2\",\"\"\n"
                "\"http://a.example/a\",\"\"\n\"http://a.example/b\",\"\"\n");
}

TEST_F(CsvReportTest, TestModeAddsTheVerdictColumn) {
  ResultStore tests;
  auto pass = chainOf("http://t.example/1", {301, 200});
  auto fail = chainOf("http://t.example/2", {200});
  fail[0].testPassed = 0;
  fail[0].testNote = "[no redirect],[not https]";
  auto bare = chainOf("http://t.example/3", {200});
  bare[0].testPassed = 0;
  for (const auto* hops : {&pass, &fail, &bare}) ASSERT_TRUE(tests.add(*hops, TestMode::Canonical, fatal));
  const auto file = folder / "tests.csv";
  ASSERT_FALSE(writeReport(tests, {}, ReportKind::Standard, TestMode::Canonical, file));
  const std::string text = ScratchFolder::read(file);
  EXPECT_TRUE(text.starts_with(kBom + "\"Test Result\",\"URL\",\"Type\""));
  EXPECT_NE(text.find("\n\"PASS\",\"http://t.example/1\","), std::string::npos);
  EXPECT_NE(text.find("\n\"PASS\",\"http://t.example/1/1\","), std::string::npos);
  EXPECT_NE(text.find("\n\"FAIL[no redirect],[not https]\",\"http://t.example/2\","), std::string::npos);
  EXPECT_NE(text.find("\n\"FAIL\",\"http://t.example/3\","), std::string::npos);
}

TEST_F(CsvReportTest, RowsFollowTheFilterAndAnEmptyFilterGivesTheHeaderOnly) {
  const std::string notFound = report(ReportKind::RedirectDetails, TestMode::None, {false, Filter::PageNotFound});
  EXPECT_EQ(std::count(notFound.begin(), notFound.end(), '\n'), 1);
  const std::string redirects = report(ReportKind::RawHeaders, TestMode::None, {false, Filter::Redirects301});
  EXPECT_EQ(redirects, kBom + "\"URL\",\"Raw Response Header\"\n\"http://a.example/old\",\"\"\n"
                              "\"http://a.example/old/1\",\"\"\n\"http://a.example/old/2\",\"\"\n"
                              "\"http://a.example/a\",\"\"\n\"http://a.example/b\",\"\"\n");
}

TEST_F(CsvReportTest, MaxRedirectsWritesTenHopGroups) {
  ResultStore chain;
  ASSERT_TRUE(chain.add(chainOf("http://m.example/", std::vector<int64_t>(11, 301), kChainMaxRedirects), TestMode::None, fatal));
  const auto file = folder / "max.csv";
  ASSERT_FALSE(writeReport(chain, {}, ReportKind::RedirectDetails, TestMode::None, file));
  const std::string text = ScratchFolder::read(file);
  const std::string row = text.substr(text.find('\n') + 1);
  EXPECT_EQ(std::count(row.begin(), row.end(), ','), 42);  // as many fields as the header
  EXPECT_TRUE(row.ends_with(",\"http://m.example//10\"\n"));
}

TEST_F(CsvReportTest, FailuresKeepThePreviousReport) {
  const auto missing = folder / "no-such-folder" / "r.csv";
  const auto created = writeReport(store, {}, ReportKind::Standard, TestMode::None, missing);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->text, "Cannot create output file: " + missing.string());

  const auto file = folder.write("old.csv", "complete earlier report");
  std::optional<Message> failed;
  {
    const testing::FileSizeLimit limit(100);
    failed = writeReport(store, {}, ReportKind::Standard, TestMode::None, file);
  }
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->text, "There was an error writing to the report file.");
  EXPECT_EQ(ScratchFolder::read(file), "complete earlier report");
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".partial"));

  const std::atomic<bool> quitting{true};  // a stop by quitting is no success either
  EXPECT_EQ(writeReport(store, {}, ReportKind::Standard, TestMode::None, file, {}, &quitting)->text, kStoppedBeforeCompleteMessage);
  EXPECT_EQ(ScratchFolder::read(file), "complete earlier report");
}

TEST_F(CsvReportTest, ASortedViewOfManyBatchesIsWrittenRowForRowInItsOrder) {
  ResultStore many;
  std::vector<std::string> urls;
  for (int i = 0; i < 700; ++i) urls.push_back("http://a.example/" + std::to_string((i * 389) % 700));
  for (const std::string& url : urls) ASSERT_TRUE(many.add(chainOf(url, {200}), TestMode::None, fatal));
  ResultView view(many);
  view.sortBy(kUrlColumn, SortDirection::Descending);
  view.waitForSort();
  const auto file = folder / "sorted.csv";
  ASSERT_FALSE(writeReport(many, view.selection(), ReportKind::Standard, TestMode::None, file));

  std::sort(urls.begin(), urls.end(), std::greater<>());
  std::vector<std::string> written;
  std::istringstream lines(ScratchFolder::read(file));
  std::string line;
  std::getline(lines, line);  // heading
  while (std::getline(lines, line)) written.push_back(line.substr(1, line.find('"', 1) - 1));
  EXPECT_EQ(written, urls);
}

TEST_F(CsvReportTest, ProgressCountsTheRows) {
  std::vector<std::string> texts;
  ASSERT_FALSE(writeReport(store, {}, ReportKind::Standard, TestMode::None, folder / "p.csv",
                           [&](int64_t, int64_t, const std::string& text) { texts.push_back(text); }));
  EXPECT_EQ(texts.front(), "Saving 1 URLs of 3");
  EXPECT_EQ(texts.back(), "Saving 3 URLs of 3");
}

}  // namespace
}  // namespace tallyvane
