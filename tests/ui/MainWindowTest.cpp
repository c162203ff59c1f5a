#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

#include <set>
#include <thread>

#include "results/ResultColumns.h"
#include "tests/support/RunCommand.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/DetailPanel.h"
#include "ui/ManualEntryDialog.h"
#include "ui/ProgressWindow.h"
#include "ui/ResultTableModel.h"

namespace tallyvane::ui::testing {
namespace {

using Texts = std::vector<std::string>;

// The text as the menu shows it: a key's mark "&" hidden, "&&" as one "&".
std::string shownText(const QAction* action) {
  QString text = action->text();
  for (qsizetype at = text.indexOf('&'); at >= 0; at = text.indexOf('&', at + 1)) text.remove(at, 1);
  return text.toStdString();
}

Texts menuTree(const QMenuBar* bar) {
  Texts tree;
  for (const QAction* top : bar->actions()) {
    tree.push_back(shownText(top));
    for (const QAction* item : top->menu()->actions()) {
      tree.push_back("  " + (item->isSeparator() ? std::string("—") : shownText(item)));
    }
  }
  return tree;
}

Texts enabledItems(const QMenuBar* bar) {
  Texts enabled;
  for (const QAction* top : bar->actions()) {
    for (const QAction* item : top->menu()->actions()) {
      if (!item->isSeparator() && item->isEnabled()) enabled.push_back(shownText(item));
    }
  }
  return enabled;
}

// Menus, and the items of each menu, whose key is missing or taken by another of its kind: a
// taken key only moves between its items instead of choosing one.
Texts missingOrSharedKeys(const QList<QAction*>& actions) {
  Texts faults;
  std::set<int> keys;
  for (const QAction* action : actions) {
    if (action->isSeparator()) continue;
    const QKeySequence key = QKeySequence::mnemonic(action->text());
    if (key.isEmpty() || !keys.insert(key[0].toCombined()).second) faults.push_back(shownText(action));
  }
  return faults;
}

std::string cell(const MainWindow& window, int row, int column) {
  return window.resultModel()->index(row, column).data().toString().toStdString();
}

TEST_F(MainWindowTest, MenusAreInOrderAndOnlyExitAndUserGuideStayEnabledDuringACrawl) {
  hangOn("/hang");
  EXPECT_EQ(menuTree(window().menuBar()),
            (Texts{"Check URLs", "  Check URLs... (From File)", "  Check URLs... (Enter Manually)",
                   "  Check URLs... (Paste from ClipBoard)", "  Check Huge URL List (Low Memory Mode)", "  —",
                   "  Load Results", "  Save Results", "  —", "  Exit", "Test URLs",
                   "  Test Canonical URL Redirects (https/www/HSTS)", "  Test URL Mapping Redirects", "Configuration",
                   "  URL Checking", "  URL Rewriting", "  User Agents", "  Speed", "  HEAD/GET Method Config",
                   "  Cookies & Custom Headers", "  Proxy Settings", "  TLS and Hosts", "CSV Exports",
                   "  Standard Report", "  Redirect Details", "  Link Headers", "  Raw Headers", "  —",
                   "  HTML Summary Report\u2026", "Help", "  User Guide", "  —", "  About"}));
  // Alt and a letter of its own open each menu; in an open menu a letter of its own picks each item.
  EXPECT_EQ(missingOrSharedKeys(window().menuBar()->actions()), Texts{});
  for (const QAction* top : window().menuBar()->actions()) {
    EXPECT_EQ(missingOrSharedKeys(top->menu()->actions()), Texts{}) << shownText(top);
  }
  EXPECT_FALSE(window().abortButton()->isEnabled());
  EXPECT_FALSE(window().clearButton()->isEnabled());

  QGuiApplication::clipboard()->setText(lines({"/hang"}));
  window().menus().checkClipboard->trigger();
  EXPECT_EQ(enabledItems(window().menuBar()), (Texts{"Exit", "User Guide"}));
  EXPECT_TRUE(window().abortButton()->isEnabled());
  EXPECT_FALSE(window().clearButton()->isEnabled());
  EXPECT_TRUE(window().filterBox()->isEnabled());

  // Escape aborts, as the button does.
  window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  QTest::keyClick(window().resultList(), Qt::Key_Escape);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(enabledItems(window().menuBar()).size(), 24u);
  EXPECT_TRUE(window().clearButton()->isEnabled());
  EXPECT_EQ(takeMessages(window()), Texts{"Aborted: Tallyvane has aborted checking URLs"});
}

TEST_F(MainWindowTest, ClipboardCheckFillsTheListAndTheDetailsAndAFilterClearsThem) {
  server.route("/old", [this](const demo::ReceivedRequest& r) { return demo::redirectTo(r, 301, server.url("/new")); });
  server.route("/new", [](const demo::ReceivedRequest& r) {
    return demo::reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html", "Link: </fr>; rel=\"alternate\"; hreflang=\"fr\""});
  });
  server.route("/missing", [](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 404 Not Found"); });
  QGuiApplication::clipboard()->setText(lines({"/old", "/missing"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Success: Tallyvane has finished checking all URLs"});
  ASSERT_EQ(window().resultModel()->rowCount(), 2);
  EXPECT_EQ(window().statusField(kUrlsField)->text(), "URLs: 2");
  EXPECT_EQ(window().statusField(kFilteredUrlsField)->text(), "Filtered URLs: 2");

  const int oldRow = cell(window(), 0, kUrlColumn) == server.url("/old") ? 0 : 1;
  EXPECT_EQ(cell(window(), oldRow, kStatusCodeColumn), "301");
  EXPECT_EQ(cell(window(), oldRow, kFinalUrlColumn), server.url("/new"));
  EXPECT_EQ(cell(window(), 1 - oldRow, kStatusCodeColumn), "404");

  window().resultList()->selectRow(oldRow);  // as the keyboard or the accessibility tree selects
  DetailPanel* details = window().detailPanel();
  ASSERT_EQ(details->responsesList()->topLevelItemCount(), 2);
  EXPECT_EQ(details->responsesList()->topLevelItem(0)->text(8).toStdString(), server.url("/new"));
  EXPECT_TRUE(details->rawHeadersText()->toPlainText().startsWith("HTTP/1.1 301"));
  EXPECT_EQ(details->linksList()->topLevelItemCount(), 0);

  details->responsesList()->setCurrentItem(details->responsesList()->topLevelItem(1));
  EXPECT_TRUE(details->rawHeadersText()->toPlainText().startsWith("HTTP/1.1 200"));
  ASSERT_EQ(details->linksList()->topLevelItemCount(), 1);
  EXPECT_EQ(details->linksList()->topLevelItem(0)->text(2), "[fr]");

  window().filterBox()->setCurrentIndex(10);  // "Page Not Found"
  EXPECT_EQ(details->responsesList()->topLevelItemCount(), 0);
  EXPECT_TRUE(details->rawHeadersText()->toPlainText().isEmpty());
  ASSERT_EQ(window().resultModel()->rowCount(), 1);
  EXPECT_EQ(cell(window(), 0, kStatusCodeColumn), "404");
  EXPECT_EQ(window().statusField(kFilteredUrlsField)->text(), "Filtered URLs: 1");
}

TEST_F(MainWindowTest, ColumnClicksCycleTheSortIndicatorAndTheOrder) {
  window().openDialog(DialogId::ManualEntry);
  auto* entry = window().findChild<ManualEntryDialog*>();
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(entry->startButton()->isEnabled());
  entry->textArea()->setPlainText((lines({"/b", "/c", "/a"})));
  ASSERT_TRUE(entry->startButton()->isEnabled());
  QTest::mouseClick(entry->startButton(), Qt::LeftButton);
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());

  QHeaderView* header = window().resultList()->horizontalHeader();
  EXPECT_EQ(header->sortIndicatorSection(), -1);
  const auto clickUrlHeader = [&] {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
  };
  const auto firstUrlAfterSort = [&](const std::string& expected) {
    return waitUntil([&] { return cell(window(), 0, kUrlColumn) == server.url(expected); });
  };
  clickUrlHeader();
  EXPECT_EQ(header->sortIndicatorSection(), 0);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_TRUE(firstUrlAfterSort("/a"));
  clickUrlHeader();
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_TRUE(firstUrlAfterSort("/c"));
  clickUrlHeader();
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_TRUE(firstUrlAfterSort("/a"));

  window().filterBox()->setCurrentIndex(3);
  EXPECT_EQ(header->sortIndicatorSection(), -1);
}

TEST_F(MainWindowTest, QuittingDuringACrawlAsksAndYesEndsItWhileARequestStillHangs) {
  settings.TimeoutSeconds = 0;  // none: the hanging request never ends by itself
  hangOn("/hang");
  QGuiApplication::clipboard()->setText(lines({"/hang"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitUntil([this] { return server.requestCount("/hang") == 1; }));

  std::string question;
  whenModalOpens<QMessageBox>([&](QMessageBox* box) {
    question = box->text().toStdString();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(closeWindow());
  EXPECT_EQ(question, kExitQuestion);
  EXPECT_TRUE(window().crawlStillActive());
  EXPECT_TRUE(window().abortButton()->isEnabled());

  whenModalOpens<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(closeWindow());
  EXPECT_TRUE(std::filesystem::exists(scratch / "settings.prefs"));
}

TEST_F(MainWindowTest, SavedResultsLoadBackAndTheirReportsMatchTheCommandLineByteForByte) {
  server.route("/a", [this](const demo::ReceivedRequest& r) { return demo::redirectTo(r, 301, server.url("/b")); });
  server.route("/b", [](const demo::ReceivedRequest& r) {
    return demo::reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html", "Link: </fr>; rel=\"alternate\"; hreflang=\"fr\""});
  });
  server.route("/c", [](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 404 Not Found"); });
  QGuiApplication::clipboard()->setText(lines({"/a", "/c", "/b"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  const auto taskEnded = [this] { return waitUntil([this] { return window().progressWindow() == nullptr; }); };

  answerFileDialog(scratch / "run");  // no extension: ".tvl" is added
  window().menus().saveResults->trigger();
  ASSERT_TRUE(taskEnded());
  ASSERT_TRUE(std::filesystem::exists(scratch / "run.tvl"));

  QTest::mouseClick(window().clearButton(), Qt::LeftButton);
  EXPECT_EQ(window().resultModel()->rowCount(), 0);

  answerFileDialog(scratch / "run.tvl");
  window().menus().loadResults->trigger();
  EXPECT_FALSE(window().filterBox()->isEnabled());
  ASSERT_TRUE(taskEnded());
  EXPECT_TRUE(takeMessages(window()).empty());
  EXPECT_EQ(window().resultModel()->rowCount(), 3);
  EXPECT_EQ(window().statusField(kUrlsField)->text(), "URLs: 3");
  EXPECT_EQ(window().statusField(kResponsesField)->text(), "Responses: 4");
  EXPECT_TRUE(window().filterBox()->isEnabled());
  EXPECT_TRUE(window().menus().saveResults->isEnabled());

  // Status Code, descending: what the reports must follow.
  QHeaderView* header = window().resultList()->horizontalHeader();
  const QPoint statusCode(header->sectionViewportPosition(kStatusCodeColumn) + 5, 5);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, statusCode);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, statusCode);
  ASSERT_TRUE(waitUntil([this] { return cell(window(), 0, kStatusCodeColumn) == "404"; }));

  const std::vector<std::string> kinds = {"standard", "redirects", "links", "raw"};
  std::string cliReports;
  for (size_t kind = 0; kind < kinds.size(); ++kind) {
    answerFileDialog(scratch / (kinds[kind] + ".csv"));
    window().menus().reports[kind]->trigger();
    ASSERT_TRUE(taskEnded());
    cliReports += " --report " + kinds[kind] + "=" + (scratch / ("cli-" + kinds[kind] + ".csv")).string();
  }
  const auto [status, output] = tallyvane::testing::runCommand(std::string(TALLYVANE_CLI_PATH) + " report " +
                                                               (scratch / "run.tvl").string() + cliReports +
                                                               " --sort \"Status Code:desc\"");
  ASSERT_EQ(status, 0) << output;
  for (const std::string& kind : kinds) {
    EXPECT_EQ(ScratchFolder::read(scratch / (kind + ".csv")), ScratchFolder::read(scratch / ("cli-" + kind + ".csv")))
        << kind;
  }
}

TEST_F(MainWindowTest, CrawlsFollowTheRewriteRulesAndALowMemoryCrawlShowsItsWorkersThenTheResultsView) {
  settings.RewriteURLs = 1;
  settings.Rules = "/old /new";
  QGuiApplication::clipboard()->setText(lines({"/old"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  EXPECT_EQ(server.requestCount("/old"), 0u);
  EXPECT_EQ(cell(window(), 0, kUrlColumn), server.url("/new"));

  hangOn("/hang");
  const auto list = scratch.write("urls.txt", server.url("/hang") + "\n");
  const SetupCheck low =
      checkLowMemoryCheck(list.string(), (scratch / "low.csv").string(), ReportKind::Standard, Filter::AllUrls, 2000);
  ASSERT_FALSE(low.message);
  window().startCrawl(low.setup);
  EXPECT_EQ(window().resultModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Thread");
  EXPECT_EQ(window().resultModel()->rowCount(), 4);  // one row per worker
  EXPECT_FALSE(window().filterBox()->isEnabled());
  // Whichever worker took it shows it.
  EXPECT_TRUE(waitUntil([this] {
    for (int worker = 0; worker < 4; ++worker) {
      if (cell(window(), worker, 1) == server.url("/hang")) return true;
    }
    return false;
  }));

  QTest::mouseClick(window().abortButton(), Qt::LeftButton);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(window().resultModel()->mode(), ListMode::Results);
  EXPECT_TRUE(window().filterBox()->isEnabled());
}

TEST_F(MainWindowTest, ThePortCanBeCalledFromAnyThreadAndItsQuestionsNeverDeadlock) {
  UserInterface& port = window().port();
  std::thread([&] { port.setStatusField(kSpeedField, "Speed: 7 Responses per Second"); }).join();
  EXPECT_TRUE(waitUntil([this] { return window().statusField(kSpeedField)->text() == "Speed: 7 Responses per Second"; }));

  whenModalOpens<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  bool answer = false;
  std::atomic<bool> answered{false};
  std::thread asking([&] {
    answer = port.askYesNo("", "Overwrite?");
    answered = true;
  });
  EXPECT_TRUE(waitUntil([&] { return answered.load(); }));
  asking.join();
  EXPECT_TRUE(answer);

  // Quitting while a question is open answers it No, and every later one at once.
  whenModalOpens<QMessageBox>([this](QMessageBox* box) {
    EXPECT_TRUE(window().close());
    box->button(QMessageBox::Yes)->click();  // too late: the asking thread has its No
  });
  std::atomic<bool> unanswered{false};
  std::thread open([&] { unanswered = !port.askYesNo("", "Overwrite?"); });
  EXPECT_TRUE(waitUntil([&] { return unanswered.load(); }));
  open.join();
  bool later = true;
  std::thread([&] { later = port.askYesNo("", "Overwrite?"); }).join();
  EXPECT_FALSE(later);
}

}  // namespace
}  // namespace tallyvane::ui::testing
