// The result list at work: the search with a filter and a sort, copying rows, and a list file
// dropped on the window.

#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QToolTip>
#include <QTreeWidget>

#include "results/ResultColumns.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/DetailPanel.h"
#include "ui/ResultListView.h"
#include "ui/ResultTableModel.h"

namespace tallyvane::ui::testing {
namespace {

std::vector<std::string> shownUrls(const MainWindow& window) {
  std::vector<std::string> urls;
  for (int row = 0; row < window.resultModel()->rowCount(); ++row) {
    urls.push_back(window.resultModel()->index(row, kUrlColumn).data().toString().toStdString());
  }
  return urls;
}

class ResultListTest : public MainWindowTest {
 protected:
  // /Shop/1 and /shop/2 answer 404, /shop/3 and /blog answer 200.
  void crawlShop() {
    for (const char* path : {"/Shop/1", "/shop/2"}) {
      server.route(path, [](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 404 Not Found"); });
    }
    QGuiApplication::clipboard()->setText(lines({"/shop/3", "/Shop/1", "/blog", "/shop/2"}));
    window().menus().checkClipboard->trigger();
    ASSERT_TRUE(waitForCrawlEnd());
    takeMessages(window());
  }

  bool shows(const std::vector<std::string>& paths, const std::string& filteredText) {
    std::vector<std::string> urls;
    for (const std::string& path : paths) urls.push_back(server.url(path));
    const bool done = waitUntil([&] {
      return shownUrls(window()) == urls && window().statusField(kFilteredUrlsField)->text().toStdString() == filteredText;
    });
    if (!done) {
      for (const std::string& url : shownUrls(window())) std::fprintf(stderr, "shown: %s\n", url.c_str());
      std::fprintf(stderr, "status: %s\n", qPrintable(window().statusField(kFilteredUrlsField)->text()));
    }
    return done;
  }
};

TEST_F(ResultListTest, TheSearchNarrowsTheFilterIgnoringCaseFollowsTheSortAndIsCounted) {
  crawlShop();
  window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
  QTest::keyClick(window().resultList(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(window().searchField()->hasFocus());
  QTest::keyClicks(window().searchField(), "SHOP");
  // Ascending by URL: "/Shop/1" sorts before "/shop/..." byte by byte.
  QHeaderView* header = window().resultList()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(kUrlColumn) + 5, 5));
  EXPECT_TRUE(shows({"/Shop/1", "/shop/2", "/shop/3"}, "Filtered URLs: 3"));

  // "Page Not Found": the sort goes, the search stays; then descending by URL.
  window().filterBox()->setCurrentIndex(10);
  EXPECT_EQ(header->sortIndicatorSection(), -1);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(kUrlColumn) + 5, 5));
  EXPECT_TRUE(shows({"/Shop/1", "/shop/2"}, "Filtered URLs: 2"));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(kUrlColumn) + 5, 5));
  EXPECT_TRUE(shows({"/shop/2", "/Shop/1"}, "Filtered URLs: 2"));

  window().searchField()->setText("P/1");
  EXPECT_TRUE(shows({"/Shop/1"}, "Filtered URLs: 1"));
  window().searchField()->clear();
  EXPECT_TRUE(shows({"/shop/2", "/Shop/1"}, "Filtered URLs:2"));  // the sorted view's own text

  // A new crawl keeps the text and searches what it finds.
  window().filterBox()->setCurrentIndex(0);
  window().searchField()->setText("blog");
  QGuiApplication::clipboard()->setText(lines({"/blog", "/other"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  EXPECT_TRUE(shows({"/blog"}, "Filtered URLs: 1"));
}

TEST_F(ResultListTest, CtrlCCopiesTheSelectedRowsWithTheirHeaderAndCtrlASelectsEveryRow) {
  crawlShop();
  window().filterBox()->setCurrentIndex(3);  // "2XX - Success": /shop/3 and /blog
  ASSERT_EQ(window().resultModel()->rowCount(), 2);
  window().resultList()->setFocus();
  QTest::keyClick(window().resultList(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(window().resultList()->selectedRowNumbers(), (std::vector<int>{0, 1}));
  QTest::keyClick(window().resultList(), Qt::Key_C, Qt::ControlModifier);

  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "URL\tType\tStatus Code\tStatus\tSize\tResponse Time\tX-Robots-Tag\tVary\tRedirect To Final "
                      "URL\t# Redirects\t# Link Headers");
  for (int row = 1; row < 3; ++row) {
    const QStringList cells = lines[row].split('\t');
    ASSERT_EQ(cells.size(), 11) << lines[row].toStdString();
    EXPECT_TRUE(cells[0] == QString::fromStdString(server.url("/shop/3")) ||
                cells[0] == QString::fromStdString(server.url("/blog")));
    EXPECT_EQ(cells[2], "200");
    EXPECT_EQ(cells[3], "OK");
  }
  EXPECT_EQ(window().resultList()->selectedUrlsText().count('\n'), 2);

  // Numbers sit on the right, texts on the left.
  const auto alignment = [&](int column) {
    return window().resultModel()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
  };
  EXPECT_TRUE(alignment(kStatusCodeColumn) & Qt::AlignRight);
  EXPECT_FALSE(alignment(kUrlColumn) & Qt::AlignRight);
}

// The tooltip a pause over the cell's middle shows, or empty.
QString tooltipOver(QAbstractItemView* view, const QModelIndex& index) {
  QToolTip::hideText();  // hides after a short delay
  EXPECT_TRUE(waitUntil([] { return !QToolTip::isVisible(); }));
  const QPoint at = view->visualRect(index).center();
  QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(ResultListTest, ACutUrlSaysItselfInATooltipInTheListAndTheDetailsAndNumbersSitOnTheRight) {
  const std::string longPath = "/" + std::string(300, 'x');
  QGuiApplication::clipboard()->setText(lines({longPath}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());
  ResultListView* list = window().resultList();
  list->selectRow(0);
  const QModelIndex url = window().resultModel()->index(0, kUrlColumn);
  EXPECT_EQ(tooltipOver(list, url), QString::fromStdString(server.url(longPath)));
  EXPECT_EQ(tooltipOver(list, window().resultModel()->index(0, kStatusCodeColumn)), "");  // "200" fits

  QTreeWidget* responses = window().detailPanel()->responsesList();
  ASSERT_EQ(responses->topLevelItemCount(), 1);
  responses->setColumnWidth(0, 120);
  EXPECT_EQ(tooltipOver(responses, responses->model()->index(0, 0)), QString::fromStdString(server.url(longPath)));
  EXPECT_TRUE(responses->topLevelItem(0)->textAlignment(2) & Qt::AlignRight);  // Status Code
  EXPECT_FALSE(responses->topLevelItem(0)->textAlignment(0) & Qt::AlignRight);
}

TEST_F(ResultListTest, AListFileDroppedOnTheWindowIsCheckedAndOtherFilesAreRefused) {
  const auto list = scratch.write("urls.txt", server.url("/a") + "\n" + server.url("/b") + "\n");
  const auto picture = scratch.write("photo.png", "not a list");
  const auto dragged = [](const std::filesystem::path& file) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    return data;
  };

  std::unique_ptr<QMimeData> pictureData(dragged(picture));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, pictureData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &refused);
  EXPECT_FALSE(refused.isAccepted());

  std::unique_ptr<QMimeData> listData(dragged(list));
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, listData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, listData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &drop);
  EXPECT_TRUE(waitUntil([&] { return server.requestCount("/b") == 1 && !window().crawlStillActive(); }));
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), std::vector<std::string>{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(window().resultModel()->rowCount(), 2);
  EXPECT_EQ(settings.recentInputFiles.front(), list.string());

  // The list removed since: the same message as "Check URLs" gives.
  std::filesystem::remove(list);
  QDragEnterEvent again(QPoint(10, 10), Qt::CopyAction, listData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &again);
  QDropEvent late(QPointF(10, 10), Qt::CopyAction, listData.get(), Qt::LeftButton, {});
  QApplication::sendEvent(&window(), &late);
  EXPECT_TRUE(waitUntil([&] {
    for (const QMessageBox* box : window().findChildren<QMessageBox*>()) {
      if (box->isVisible()) return true;
    }
    return false;
  }));
  EXPECT_EQ(takeMessages(window()), std::vector<std::string>{"Error: Input file does not exist!"});
}

}  // namespace
}  // namespace tallyvane::ui::testing
