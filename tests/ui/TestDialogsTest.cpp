// The two redirect-test dialogs and the low-memory dialog, driven as a user would from the menus.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/CanonicalTestDialog.h"
#include "ui/CheckFileDialog.h"
#include "ui/LowMemoryDialog.h"
#include "ui/MappingTestDialog.h"
#include "ui/ResultTableModel.h"

namespace tallyvane::ui::testing {
namespace {

using Texts = std::vector<std::string>;

class TestDialogsTest : public MainWindowTest {
 protected:
  template <typename Dialog>
  Dialog* openFrom(QAction* item) {
    item->trigger();
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
      EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    }
    return dialog;
  }
  static QString text(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

  // Clicks the start button; the messages the dialog showed (or, once it closed, the window).
  Texts start(QWidget* dialog, QPushButton* button) {
    QPointer<QWidget> alive(dialog);
    QTest::mouseClick(button, Qt::LeftButton);
    return alive && alive->isVisible() ? takeMessages(*alive) : takeMessages(window());
  }

  // The accessible names met by tabbing from where the focus starts: every control is named and
  // the order follows the layout.
  static Texts tabOrder(QWidget* dialog, size_t controls) {
    Texts names;
    for (size_t i = 0; i < controls; ++i) {
      names.push_back(QApplication::focusWidget()->accessibleName().toStdString());
      tallyvane::testing::pressKey(dialog, Qt::Key_Tab);
    }
    return names;
  }

  // Column 0 of every row, then the verdict column, as the list shows them.
  Texts column(int section) {
    Texts texts;
    ResultTableModel& model = *window().resultModel();
    for (int row = 0; row < model.rowCount(); ++row) texts.push_back(model.index(row, section).data().toString().toStdString());
    std::sort(texts.begin(), texts.end());
    return texts;
  }
  std::string header(int section) {
    return window().resultModel()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
  }
};

TEST_F(TestDialogsTest, MappingDialogChecksInOrderAndItsTestFillsTheVerdictColumn) {
  settings.recentMappingFiles = {"/old/rules.txt"};
  auto* dialog = openFrom<MappingTestDialog>(window().menus().mappingTest);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Test URL Mapping Redirects");
  EXPECT_EQ(tabOrder(dialog, 7), (Texts{kInputFileLabel, "Choose Input File", kRulesFileLabel,
                                       "Choose File With Mapping Rules", "Start Test", "Cancel", kInputFileLabel}));
  EXPECT_EQ(dialog->rulesField()->itemText(0), "/old/rules.txt");
  {
    tallyvane::testing::OpenedPages pages;
    tallyvane::testing::pressKey(dialog, Qt::Key_F1);
    EXPECT_EQ(pages.pages(), Texts{"https://help.tallyvane.example/url-mappings"});
  }
  EXPECT_TRUE(dialog->rulesField()->currentText().isEmpty());

  const auto list = scratch.write("urls.txt", server.url("/old") + "\n" + server.url("/gone") + "\n");
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, enter an input file"});
  dialog->inputField()->setEditText(text(list));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, enter a mapping rules file"});
  dialog->rulesField()->setEditText(text(scratch / "absent.txt"));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Cannot find mapping rules file!"});
  ASSERT_TRUE(dialog->isVisible());

  // A missing list is only found once the rules were read; then the dialog has closed.
  const auto rules = scratch.write("rules.txt", server.url("/old") + " " + server.url("/new") + "\n");
  dialog->rulesField()->setEditText(text(rules));
  dialog->inputField()->setEditText(text(scratch / "absent.txt"));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Input file does not exist!"});
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(window().crawlStillActive());

  server.route("/old", [this](const demo::ReceivedRequest& r) { return demo::redirectTo(r, 301, server.url("/new")); });
  dialog = openFrom<MappingTestDialog>(window().menus().mappingTest);
  dialog->inputField()->setEditText(text(list));
  dialog->rulesField()->setEditText(" " + text(rules) + " ");
  QTest::keyClick(dialog->rulesField()->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(header(0), "Test Result");
  EXPECT_EQ(header(1), "URL");
  EXPECT_EQ(column(0), (Texts{"FAIL [not redirected],[no redirect rule]", "PASS"}));
  EXPECT_EQ(settings.recentInputFiles.front(), list.string());
  EXPECT_EQ(settings.recentMappingFiles, (Texts{rules.string(), "/old/rules.txt"}));

  // A test's results offer "Test Failed" after the other filters; a plain check's do not.
  QComboBox* filters = window().filterBox();
  ASSERT_EQ(filters->count(), 16);
  EXPECT_EQ(filters->itemText(14), "Redirects to Errors");
  EXPECT_EQ(filters->itemText(15), "Test Failed");
  filters->setCurrentIndex(15);
  EXPECT_EQ(column(0), (Texts{"FAIL [not redirected],[no redirect rule]"}));
  EXPECT_EQ(window().statusField(kFilteredUrlsField)->text(), "Filtered URLs: 1");
  window().startCrawl({}, server.url("/new") + "\r\n");
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  EXPECT_EQ(filters->count(), 15);
  EXPECT_EQ(filters->currentText(), "All URLs");
  EXPECT_EQ(window().resultModel()->rowCount(), 1);
}

TEST_F(TestDialogsTest, MappingRulesWithABadLineCloseTheDialogWithTheirMessage) {
  auto* dialog = openFrom<MappingTestDialog>(window().menus().mappingTest);
  ASSERT_NE(dialog, nullptr);
  dialog->inputField()->setEditText(text(scratch.write("urls.txt", server.url("/a") + "\n")));
  dialog->rulesField()->setEditText(text(scratch.write("rules.txt", "only-one-field\n")));
  const Texts shown = start(dialog, dialog->startButton());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Error: ", 0), 0u) << shown[0];
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(window().crawlStillActive());
  EXPECT_TRUE(settings.recentMappingFiles.empty());
}

TEST_F(TestDialogsTest, CanonicalDialogChecksInOrderAndItsTestFillsTheVerdictColumn) {
  auto* dialog = openFrom<CanonicalTestDialog>(window().menus().canonicalTest);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Test Canonical URL Redirects (HTTP(s)/WWW/HSTS)");
  EXPECT_EQ(tabOrder(dialog, 9), (Texts{kInputFileLabel, "Choose Input File", "https://example.com/",
                                       "Generate and Test ALL URL Variants For Every Input Link",
                                       "Test for non-secure cookies", "Test for proper HSTS headers", "Start Test",
                                       "Cancel", kInputFileLabel}));

  const auto list = scratch.write("urls.txt", server.url("/home") + "\n" + server.url("/moved") + "\n");
  dialog->inputField()->setEditText(text(list));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, select a canonical URL form to test for"});
  dialog->formButton(CanonicalForm::Http)->click();
  dialog->inputField()->setEditText("  ");
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, enter an input file"});
  dialog->inputField()->setEditText(text(scratch / "absent.txt"));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Input file does not exist!"});
  ASSERT_TRUE(dialog->isVisible());

  for (QRadioButton* option : dialog->findChildren<QRadioButton*>()) {
    if (option->accessibleName() == "Test Only The Input URLs") option->click();
  }
  server.route("/moved", [this](const demo::ReceivedRequest& r) { return demo::redirectTo(r, 301, server.url("/home")); });
  dialog->inputField()->setEditText(text(list));
  tallyvane::testing::pressKey(dialog, Qt::Key_Return);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(header(0), "Test Result");
  EXPECT_EQ(column(0), (Texts{"FAIL [bad final URL]", "PASS"}));
  EXPECT_EQ(settings.recentInputFiles, Texts{list.string()});
}

TEST_F(TestDialogsTest, LowMemoryDialogProposesTheReportBesideTheListAndChecksInOrder) {
  auto* dialog = openFrom<LowMemoryDialog>(window().menus().checkLowMemory);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Check URLs (Low Memory Mode)");
  EXPECT_EQ(tabOrder(dialog, 7),
            (Texts{"Input (plain text file - one url per line, csv or xml sitemap file/url)", "Choose Input File",
                   "Output (csv file)", "Choose Output File", "Choose Report Output Type", "Apply Filter", "Start"}));
  EXPECT_TRUE(dialog->outputField()->text().isEmpty());
  EXPECT_EQ(dialog->reportKindBox()->currentText(), "Standard Report");
  EXPECT_EQ(dialog->filterBox()->count(), 15);  // no "Test Failed": a low-memory crawl is never a test
  EXPECT_EQ(dialog->filterBox()->currentText(), "All URLs");

  QTest::keyClicks(dialog->inputField()->lineEdit(), "/data/lists/urls.txt");
  EXPECT_EQ(dialog->outputField()->text(), "/data/lists/result.csv");
  dialog->inputField()->setEditText("urls.txt");
  EXPECT_EQ(dialog->outputField()->text(), "result.csv");
  dialog->inputField()->setEditText("");
  EXPECT_EQ(dialog->outputField()->text(), "result.csv");  // an emptied field proposes nothing new

  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, enter an input file"});
  dialog->inputField()->setEditText(text(scratch / "absent.txt"));
  dialog->outputField()->setText(" ");
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Please, enter on output file"});
  dialog->outputField()->setText(text(scratch / "out.csv"));
  EXPECT_EQ(start(dialog, dialog->startButton()), Texts{"Error: Input file does not exist!"});
  EXPECT_FALSE(std::filesystem::exists(scratch / "out.csv"));
  tallyvane::testing::pressKey(dialog, Qt::Key_Escape);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(settings.recentInputFiles.empty());
}

TEST_F(TestDialogsTest, LowMemoryCrawlShowsEachWorkersUrlAndWritesItsReport) {
  hangOn("/slow");
  const auto list = scratch.write("urls.txt", server.url("/a") + "\n" + server.url("/a") + "\n" + server.url("/slow") + "\n");
  auto* dialog = openFrom<LowMemoryDialog>(window().menus().checkLowMemory);
  ASSERT_NE(dialog, nullptr);
  dialog->inputField()->setEditText(text(list));
  EXPECT_EQ(dialog->outputField()->text(), text(scratch / "result.csv"));
  tallyvane::testing::pressKey(dialog, Qt::Key_Return);

  // One row per worker; the hanging URL stays on its worker's row.
  ResultTableModel& model = *window().resultModel();
  EXPECT_EQ(model.mode(), ListMode::Live);
  EXPECT_EQ(header(0), "Thread");
  EXPECT_EQ(header(1), "URL");
  EXPECT_EQ(model.rowCount(), 4);
  ASSERT_TRUE(waitUntil([&] {
    const Texts urls = column(1);
    return std::count(urls.begin(), urls.end(), server.url("/slow")) == 1 &&
           window().statusField(kUrlsField)->text() == "URLs: 2";
  }));
  EXPECT_EQ(column(0), (Texts{"1", "2", "3", "4"}));
  EXPECT_FALSE(window().filterBox()->isEnabled());

  window().abortButton()->click();
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Aborted: Tallyvane has aborted checking URLs"});
  EXPECT_EQ(model.mode(), ListMode::Results);
  EXPECT_EQ(header(0), "URL");
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_TRUE(window().filterBox()->isEnabled());
  for (int field = 0; field < 5; ++field) EXPECT_TRUE(window().statusField(field)->text().isEmpty()) << field;

  // The URL listed twice is checked and written twice.
  const std::string report = ScratchFolder::read(scratch / "result.csv");
  size_t lines = 0;
  for (size_t at = report.find(server.url("/a")); at != std::string::npos; at = report.find(server.url("/a"), at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 2u) << report;
  EXPECT_EQ(report.find(server.url("/slow")), std::string::npos);
  EXPECT_EQ(settings.recentInputFiles, Texts{list.string()});
}

}  // namespace
}  // namespace tallyvane::ui::testing
