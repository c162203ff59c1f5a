// The main window where a file task, a failed load or a failed hop meets the list and the details.

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "results/ResultColumns.h"
#include "results/ResultsFile.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/DetailPanel.h"
#include "ui/ResultListView.h"
#include "ui/ResultTableModel.h"

namespace tallyvane::ui::testing {
namespace {

using Texts = std::vector<std::string>;

class MainWindowEdgeCasesTest : public MainWindowTest {
 protected:
  void crawl(const std::vector<std::string>& paths) {
    QGuiApplication::clipboard()->setText(lines(paths));
    window().menus().checkClipboard->trigger();
    ASSERT_TRUE(waitForCrawlEnd());
    takeMessages(window());
  }
  bool taskEnded() { return waitUntil([this] { return window().progressWindow() == nullptr; }); }
};

TEST_F(MainWindowEdgeCasesTest, ASaveOrReportEmptiesTheDetailsOfTheRowItUnselected) {
  crawl({"/a", "/b"});
  window().resultList()->selectRow(0);
  ASSERT_EQ(window().detailPanel()->responsesList()->topLevelItemCount(), 1);

  window().saveResultsTo(scratch / "run.tvl");
  ASSERT_TRUE(taskEnded());
  EXPECT_TRUE(window().resultList()->selectedRowNumbers().empty());
  EXPECT_EQ(window().detailPanel()->responsesList()->topLevelItemCount(), 0);
  EXPECT_TRUE(window().detailPanel()->rawHeadersText()->toPlainText().isEmpty());
}

TEST_F(MainWindowEdgeCasesTest, LoadTakesTheChosenFileAsItIsAndAFailedLoadCountsNothing) {
  crawl({"/a", "/b"});
  window().saveResultsTo(scratch / "run.tvl");
  ASSERT_TRUE(taskEnded());
  std::filesystem::copy_file(scratch / "run.tvl", scratch / "run");  // no extension, and no "run.tvl" added

  answerFileDialog(scratch / "run");
  std::filesystem::remove(scratch / "run.tvl");
  window().menus().loadResults->trigger();
  ASSERT_TRUE(taskEnded());
  EXPECT_EQ(takeMessages(window()), Texts{});
  EXPECT_EQ(window().resultModel()->rowCount(), 2);
  EXPECT_EQ(window().statusField(kUrlsField)->text(), "URLs: 2");

  // The header promises three records and the file holds two: they stay, but the load is no success.
  std::string promising = ScratchFolder::read(scratch / "run");
  promising[4] = 3;
  scratch.write("cut.tvl", promising);
  window().loadResultsFrom(scratch / "cut.tvl");
  ASSERT_TRUE(taskEnded());
  std::vector<std::string> messages;
  EXPECT_TRUE(waitUntil([&] {
    messages = takeMessages(window());
    return !messages.empty();
  }));
  EXPECT_FALSE(window().statusField(kUrlsField)->text().startsWith("URLs: "));
  EXPECT_FALSE(window().statusField(kResponsesField)->text().startsWith("Responses: "));
}

TEST_F(MainWindowEdgeCasesTest, AFileThatCannotBeOpenedOrCreatedIsRefusedBeforeAnythingChanges) {
  crawl({"/a"});
  window().loadResultsFrom(scratch / "absent.tvl");
  EXPECT_EQ(window().progressWindow(), nullptr);
  EXPECT_EQ(takeMessages(window()), Texts{"Error: Cannot open results file."});
  EXPECT_EQ(window().resultModel()->rowCount(), 1);  // the results shown stay
  EXPECT_TRUE(window().menus().saveResults->isEnabled());

  const auto unwritable = scratch / "missing" / "report.csv";
  window().writeReportTo(ReportKind::Standard, unwritable);
  EXPECT_EQ(window().progressWindow(), nullptr);
  EXPECT_EQ(takeMessages(window()), Texts{"Error: Cannot create output file: " + unwritable.string()});
  EXPECT_TRUE(window().menus().saveResults->isEnabled());

  window().saveResultsTo(scratch / "missing" / "results.tvl");
  EXPECT_EQ(window().progressWindow(), nullptr);
  EXPECT_EQ(takeMessages(window()), Texts{"Error: Cannot create temporary file"});
  std::filesystem::create_directory(scratch / "taken.tvl");
  window().saveResultsTo(scratch / "taken.tvl");
  EXPECT_EQ(window().progressWindow(), nullptr);
  EXPECT_EQ(takeMessages(window()), Texts{"Error: Cannot save! There exists a folder with the same name."});
  EXPECT_TRUE(window().menus().saveResults->isEnabled());

  // The first look leaves no temporary file behind a save that goes ahead.
  window().saveResultsTo(scratch / "results.tvl");
  ASSERT_TRUE(taskEnded());
  EXPECT_TRUE(std::filesystem::exists(scratch / "results.tvl"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "results.tvltemp"));
}

TEST_F(MainWindowEdgeCasesTest, AHeaderClickWhileTheListIsNotReadyKeepsTheSortIndicator) {
  crawl({"/b", "/a"});
  QHeaderView* header = window().resultList()->horizontalHeader();
  const QPoint url(header->sectionViewportPosition(kUrlColumn) + 5, 5);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, url);
  ASSERT_TRUE(waitUntil([&] { return window().resultModel()->index(0, kUrlColumn).data().toString().endsWith("/a"); }));

  window().resultModel()->setReady(false);  // as while a file task runs
  const QPoint status(header->sectionViewportPosition(kStatusCodeColumn) + 5, 5);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, status);
  EXPECT_EQ(header->sortIndicatorSection(), kUrlColumn);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  window().resultModel()->setReady(true);
}

TEST_F(MainWindowEdgeCasesTest, AFailedHopShowsNoResponseTime) {
  // The target's port is closed: the second hop fails.
  server.route("/gone", [](const demo::ReceivedRequest& r) { return demo::redirectTo(r, 301, "http://127.0.0.1:1/"); });
  crawl({"/gone"});
  window().resultList()->selectRow(0);
  QTreeWidget* responses = window().detailPanel()->responsesList();
  ASSERT_EQ(responses->topLevelItemCount(), 2);
  EXPECT_EQ(responses->topLevelItem(1)->text(5), "");
  EXPECT_NE(responses->topLevelItem(0)->text(5), "");
}

TEST_F(MainWindowEdgeCasesTest, ResultsNeverSavedGoOnlyWhenThePersonSaysSo) {
  discardAnswers.enabled = false;
  crawl({"/a"});
  std::vector<std::string> asked;
  const auto answerNo = [&] {
    whenModalOpens<QMessageBox>([&](QMessageBox* box) {
      asked.push_back(box->text().toStdString());
      box->button(QMessageBox::No)->click();
    });
  };
  ResultStore empty;
  ASSERT_FALSE(saveResults(empty, TestMode::None, scratch / "empty.tvl"));

  // Clear, a new crawl, a load and quitting each ask, and No keeps the results.
  answerNo();
  QTest::mouseClick(window().clearButton(), Qt::LeftButton);
  answerNo();
  window().menus().checkClipboard->trigger();
  EXPECT_FALSE(window().crawlStillActive());
  answerNo();
  window().loadResultsFrom(scratch / "empty.tvl");
  answerNo();
  EXPECT_FALSE(closeWindow());
  EXPECT_EQ(asked, Texts(4, kDiscardResultsQuestion));
  EXPECT_EQ(window().resultModel()->rowCount(), 1);

  // Once saved they may go without a word.
  window().saveResultsTo(scratch / "run.tvl");
  ASSERT_TRUE(taskEnded());
  QTest::mouseClick(window().clearButton(), Qt::LeftButton);
  EXPECT_EQ(window().resultModel()->rowCount(), 0);
  EXPECT_EQ(asked.size(), 4u);
}

}  // namespace
}  // namespace tallyvane::ui::testing
