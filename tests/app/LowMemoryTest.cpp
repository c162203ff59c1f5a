// Low-memory mode: the report written while the crawl runs must match the report of a normal
// crawl, keep whole lines through an abort or a full disk, and keep nothing in memory.
#include <gtest/gtest.h>

#include <chrono>

#include "app/CrawlSession.h"
#include "demo/ScriptedHttpServer.h"
#include "tests/support/CurlEnvironment.h"
#include "tests/support/Eventually.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RecordingInterface.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

using std::chrono::milliseconds;

class LowMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.route("/a", [](const ReceivedRequest& r) {
      return reply(
          r, "HTTP/1.1 200 OK",
          {"Content-Type: text/html", "Link: </b>; rel=\"alternate\"; hreflang=\"de\"", "Vary: Accept-Encoding"});
    });
    server.route("/moved", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/twice"); });
    server.route("/twice", [](const ReceivedRequest& r) { return redirectTo(r, 302, "/a"); });
    server.route("/loop", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/loop"); });
    server.route("/hang", [](const ReceivedRequest&) { return ScriptedReply{"", milliseconds(0), true}; });
  }

  std::filesystem::path listOf(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& path : paths) text += (path.starts_with("/") ? server.url(path) : path) + "\n";
    return folder.write("list.txt", text);
  }

  // Runs a low-memory crawl to its end; the setup's message when it does not start.
  std::string runLowMemory(const std::filesystem::path& list, const std::filesystem::path& report, ReportKind kind,
                           Filter filter = Filter::AllUrls, int threads = 1) {
    SetupCheck check = checkLowMemoryCheck(list.string(), report.string(), kind, filter, 2000);
    if (check.message) return check.message->text;
    settings.NumThreads = threads;
    session.startCrawl(settings, check.setup);
    session.waitForCrawl();
    return {};
  }

  std::string normalReport(const std::filesystem::path& list, ReportKind kind, Filter filter = Filter::AllUrls) {
    CrawlSession normal(ui, &httpLibrary(), 2000);
    settings.NumThreads = 1;
    CrawlSetup setup;
    setup.inputFile = list.string();
    normal.startCrawl(settings, setup);
    normal.waitForCrawl();
    const auto file = folder / "normal.csv";
    EXPECT_FALSE(writeReport(normal.store(), {false, filter}, kind, TestMode::None, file));
    return ScratchFolder::read(file);
  }

  ScratchFolder folder;
  ScriptedHttpServer server;
  Settings settings;
  RecordingInterface ui;
  CrawlSession session{ui, &httpLibrary(), 2000};
};

// Response times differ between two crawls; every other byte must not.
std::string withoutTimes(std::string report) {
  for (size_t at = report.find("\"0."); at != std::string::npos; at = report.find("\"0.", at + 1)) {
    report.replace(at + 1, report.find('"', at + 1) - at - 1, "T");
  }
  return report;
}

TEST_F(LowMemoryTest, ReportsMatchANormalCrawlsReportsOfTheSameList) {
  const auto list = listOf({"/a", "/moved", "/loop", "/missing"});
  const auto report = folder / "low.csv";
  const auto compare = [&](ReportKind kind, Filter filter) {
    settings.CheckLinksInHeaders = 0;
    const std::string expected = withoutTimes(normalReport(list, kind, filter));
    settings.CheckLinksInHeaders = 1;  // never followed in this mode
    EXPECT_EQ(runLowMemory(list, report, kind, filter), "");
    EXPECT_EQ(withoutTimes(ScratchFolder::read(report)), expected) << static_cast<int>(kind) << " " << filterName(filter);
  };
  for (const ReportKind kind :
       {ReportKind::Standard, ReportKind::RedirectDetails, ReportKind::LinkHeaders, ReportKind::RawHeaders}) {
    compare(kind, Filter::AllUrls);
  }
  compare(ReportKind::Standard, Filter::Redirects3xx);
  EXPECT_EQ(server.requestCount("/b"), 0u);
  EXPECT_EQ(session.store().count(), 0);  // nothing kept
  EXPECT_EQ(ui.field(kUrlsField), "");  // the status fields are emptied at the end
}

TEST_F(LowMemoryTest, DuplicatesAreWrittenTwiceAndAnEmptyFilterLeavesTheHeading) {
  const auto list = listOf({"/a", "/a", "/a"});
  const auto report = folder / "low.csv";
  EXPECT_EQ(runLowMemory(list, report, ReportKind::Standard, Filter::AllUrls, 3), "");
  EXPECT_EQ(server.requestCount("/a"), 3u);
  const std::string text = ScratchFolder::read(report);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3);

  EXPECT_EQ(runLowMemory(list, report, ReportKind::Standard, Filter::PageNotFound), "");
  EXPECT_EQ(ScratchFolder::read(report), reportStart(ReportKind::Standard, TestMode::None));
  EXPECT_EQ(ui.messages().back(), "Success: Tallyvane has finished checking all URLs");
}

TEST_F(LowMemoryTest, AReportThatCannotBeCreatedStartsNothing) {
  const auto list = listOf({"/a"});
  const auto report = folder / "no-such-folder" / "low.csv";
  EXPECT_EQ(runLowMemory(list, report, ReportKind::Standard), "Cannot create output file: " + report.string());
  EXPECT_EQ(server.requests().size(), 0u);
  const SetupCheck check = checkLowMemoryCheck(list.string(), " ", ReportKind::Standard, Filter::AllUrls, 2000);
  EXPECT_EQ(check.message->text, "Please, enter on output file");
  const SetupCheck overList = checkLowMemoryCheck(list.string(), list.string(), ReportKind::Standard, Filter::AllUrls, 2000);
  EXPECT_EQ(overList.message->text, "Cannot create output file: " + list.string());
  EXPECT_EQ(ScratchFolder::read(list), server.url("/a") + "\n");  // the list is untouched
}

TEST_F(LowMemoryTest, AnAbortLeavesWholeLinesAndTheWorkerViewShowsTheUrlInHand) {
  const auto list = listOf({"/a", "/moved", "/hang", "/a"});
  const auto report = folder / "low.csv";
  SetupCheck check = checkLowMemoryCheck(list.string(), report.string(), ReportKind::Standard, Filter::AllUrls, 2000);
  settings.NumThreads = 1;
  session.startCrawl(settings, check.setup);
  Crawl& crawl = session.crawl();
  ASSERT_TRUE(eventually([&] { return server.requestCount("/hang") == 1; }, "the crawl reaches /hang"));
  EXPECT_EQ(crawl.currentUrl(1), server.url("/hang"));
  EXPECT_TRUE(crawl.takeWorkerViewChange());
  crawl.stop();
  crawl.wait();
  EXPECT_EQ(crawl.end(), CrawlEnd::Aborted);
  const std::string text = ScratchFolder::read(report);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 1 + 3);  // heading, /a, /moved's three hops
  EXPECT_TRUE(text.ends_with("\"\n"));
}

TEST_F(LowMemoryTest, AFullDiskStopsTheCrawlAndKeepsOnlyWholeLines) {
  std::vector<std::string> paths(40, "/a");
  const auto list = listOf(paths);
  const auto report = folder / "low.csv";
  const size_t heading = reportStart(ReportKind::RawHeaders, TestMode::None).size();
  {
    const FileSizeLimit limit(heading + 500);  // room for the heading and about one URL
    EXPECT_EQ(runLowMemory(list, report, ReportKind::RawHeaders, Filter::AllUrls, 2), "");
  }
  EXPECT_EQ(ui.messages().back(), "Error: There was an error writing to the report file.");
  EXPECT_LT(server.requestCount("/a"), 40u);
  const std::string text = ScratchFolder::read(report);
  EXPECT_GT(text.size(), heading);
  EXPECT_TRUE(text.ends_with("\"\n")) << text;
}

}  // namespace
}  // namespace tallyvane::testing
