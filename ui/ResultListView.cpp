#include "ui/ResultListView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

#include "ui/CutTextTips.h"
#include "ui/ElidedHeaderTitles.h"

namespace tallyvane::ui {
namespace {

// A tab or a line break inside a cell would end it in the copied text.
QString clipboardCell(QString text) {
  for (QChar& c : text) {
    if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
  }
  return text;
}

}  // namespace

ResultListView::ResultListView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setWordWrap(false);
  setShowGrid(false);
  showCutTextTips(this);
  setAlternatingRowColors(true);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Fixed row heights: a million rows cost nothing to lay out.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  QHeaderView* header = horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  elideHeaderTitles(header);
}

std::vector<int> ResultListView::selectedRowNumbers() const {
  std::vector<int> rows;
  if (selectionModel() == nullptr) return rows;
  // By range: a selection of every row is one range, however many rows it covers.
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

QString ResultListView::rowText(int row) const {
  QStringList cells;
  for (int column = 0; column < model()->columnCount(); ++column) {
    cells << clipboardCell(model()->index(row, column).data().toString());
  }
  return cells.join(QLatin1Char('\t'));
}

int ResultListView::urlColumn() const {
  for (int column = 0; column < model()->columnCount(); ++column) {
    if (model()->headerData(column, Qt::Horizontal).toString() == QLatin1String("URL")) return column;
  }
  return 0;
}

QString ResultListView::selectedRowsText() const {
  const std::vector<int> rows = selectedRowNumbers();
  if (rows.empty()) return {};
  QStringList titles;
  for (int column = 0; column < model()->columnCount(); ++column) {
    titles << model()->headerData(column, Qt::Horizontal).toString();
  }
  QString text = titles.join(QLatin1Char('\t')) + QLatin1Char('\n');
  for (const int row : rows) text += rowText(row) + QLatin1Char('\n');
  return text;
}

QString ResultListView::selectedUrlsText() const {
  QString text;
  const int column = urlColumn();
  for (const int row : selectedRowNumbers()) text += clipboardCell(model()->index(row, column).data().toString()) + QLatin1Char('\n');
  return text;
}

void ResultListView::copySelectedRows() const {
  const QString text = selectedRowsText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void ResultListView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copySelectedRows();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

}  // namespace tallyvane::ui
