// What a screen reader finds through Qt's accessibility interfaces: every control named, and the
// texts that change (the status fields, the progress text, the overview's charts) read whole.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QChartView>
#include <QClipboard>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>

#include "tests/ui/MainWindowFixture.h"
#include "ui/DetailPanel.h"
#include "ui/OverviewTab.h"
#include "ui/ProgressWindow.h"

namespace tallyvane::ui::testing {
namespace {

QString accessibleName(QObject* object) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  return accessible ? accessible->text(QAccessible::Name) : QString();
}

// The roles a person operates; each must say what it is.
bool isOperable(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::PageTab:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::MenuItem:
    case QAccessible::ProgressBar:
      return true;
    default:
      return false;
  }
}

// "role of parent" for every operable control without a name, walking the accessible tree.
void collectUnnamed(QAccessibleInterface* node, std::vector<std::string>& unnamed, int depth = 0) {
  if (node == nullptr || depth > 30 || node->state().invisible) return;
  if (isOperable(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
    QAccessibleInterface* parent = node->parent();
    unnamed.push_back(std::to_string(node->role()) + " in " +
                      (parent ? parent->text(QAccessible::Name).toStdString() : std::string("?")));
  }
  // The rows of a table are its cells, read from the model; the header and the frame are enough.
  if (node->role() == QAccessible::Table || node->role() == QAccessible::Tree) return;
  for (int i = 0; i < node->childCount(); ++i) collectUnnamed(node->child(i), unnamed, depth + 1);
}

TEST_F(MainWindowTest, StatusFieldsProgressAndChartsAreReadWholeAndEveryControlIsNamed) {
  server.route("/missing", [](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 404 Not Found"); });
  QGuiApplication::clipboard()->setText(lines({"/a", "/b", "/missing"}));
  window().menus().checkClipboard->trigger();
  ASSERT_TRUE(waitForCrawlEnd());
  takeMessages(window());

  EXPECT_EQ(accessibleName(window().statusField(kUrlsField)), "URLs: 3");
  EXPECT_EQ(accessibleName(window().statusField(kResponsesField)), "Responses: 3");
  EXPECT_EQ(accessibleName(window().statusField(kFilteredUrlsField)), "Filtered URLs: 3");
  EXPECT_TRUE(accessibleName(window().statusField(kSpeedField)).startsWith("Speed: "));

  // A cell reads as its text.
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(window().resultList());
  ASSERT_NE(table, nullptr);
  ASSERT_NE(table->tableInterface(), nullptr);
  QAccessibleInterface* cell = table->tableInterface()->cellAt(0, 0);
  ASSERT_NE(cell, nullptr);
  EXPECT_TRUE(cell->text(QAccessible::Name).startsWith("http://")) << cell->text(QAccessible::Name).toStdString();

  std::vector<std::string> unnamed;
  collectUnnamed(QAccessible::queryAccessibleInterface(&window()), unnamed);
  EXPECT_TRUE(unnamed.empty()) << unnamed.front();

  // The charts say their numbers, as they are redrawn.
  window().detailPanel()->setCurrentWidget(window().overview());
  QChartView* classes = window().overview()->chartView(OverviewChart::StatusClasses);
  EXPECT_TRUE(waitUntil([&] {
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(classes);
    return chart && chart->text(QAccessible::Description) == "2xx: 2, 3xx: 0, 4xx: 1, 5xx: 0, no response: 0";
  }));
  EXPECT_EQ(accessibleName(classes), "URLs per status class");

  // And show their labels whole at the window's first size: the histogram's last is not "1...".
  QChartView* times = window().overview()->chartView(OverviewChart::ResponseTimes);
  QStringList labels;
  EXPECT_TRUE(waitUntil([&] {
    labels.clear();
    for (QGraphicsItem* item : times->scene()->items()) {
      if (auto* label = dynamic_cast<QGraphicsTextItem*>(item)) labels << label->toPlainText();
    }
    return labels.contains("10+");
  })) << labels.join(", ").toStdString();

  ProgressWindow progress("Saving to results file...", "Saving...", &window());
  progress.setProgress("Saving 2 URLs of 3", 1, 3);
  QLabel* text = progress.findChild<QLabel*>();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(accessibleName(text), "Saving 2 URLs of 3");
}

}  // namespace
}  // namespace tallyvane::ui::testing
