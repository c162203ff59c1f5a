#include "ui/DetailPanel.h"

#include <cassert>

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QThread>
#include <QTreeWidget>

#include "results/ResultColumns.h"
#include "ui/CutTextTips.h"
#include "ui/ElidedHeaderTitles.h"
#include "ui/QtText.h"
#include "ui/UrlMenu.h"

namespace tallyvane::ui {
namespace {

const QStringList kResponseColumns = {"URL",          "Type", "Status Code",      "Status",         "Size", "Response Time",
                                      "X-Robots-Tag", "Vary", "Redirects To URL", "# Link Headers"};
const QStringList kLinkColumns = {"Link", "Rel", "hreflang"};
// Status Code, Size, Response Time and # Link Headers: numbers sit on the right, as in the list.
constexpr int kResponseNumberColumns[] = {2, 4, 5, 9};
constexpr Qt::Alignment kNumberAlignment = Qt::AlignRight | Qt::AlignVCenter;

// An absent stored text shows as empty.
QString storedText(const char* stored) { return qText(textOf(stored)); }

QTreeWidget* newList(const QString& name, const QStringList& columns, QWidget* parent) {
  auto* list = new QTreeWidget(parent);
  list->setAccessibleName(name);
  list->setColumnCount(static_cast<int>(columns.size()));
  list->setHeaderLabels(columns);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  list->header()->setStretchLastSection(false);
  elideHeaderTitles(list->header());
  showCutTextTips(list);
  return list;
}

std::vector<int64_t> widthsOf(const QTreeWidget* list) {
  std::vector<int64_t> widths;
  for (int column = 0; column < list->columnCount(); ++column) widths.push_back(list->columnWidth(column));
  return widths;
}

void applyWidths(QTreeWidget* list, const std::vector<int64_t>& widths) {
  for (int column = 0; column < list->columnCount() && column < static_cast<int>(widths.size()); ++column) {
    list->setColumnWidth(column, static_cast<int>(widths[static_cast<size_t>(column)]));
  }
}

QString selectedText(const QTreeWidget* list, int column) {
  const QTreeWidgetItem* item = list->currentItem();
  return item != nullptr && item->isSelected() ? item->text(column) : QString();
}

}  // namespace

DetailPanel::DetailPanel(QWidget* parent) : QTabWidget(parent) {
  setAccessibleName("Details");
  responses_ = newList(kResponsesTab, kResponseColumns, this);
  rawHeaders_ = new QPlainTextEdit(this);
  rawHeaders_->setAccessibleName(kRawHeadersTab);
  rawHeaders_->setReadOnly(true);
  rawHeaders_->setLineWrapMode(QPlainTextEdit::NoWrap);
  for (const int column : kResponseNumberColumns) responses_->headerItem()->setTextAlignment(column, kNumberAlignment);
  links_ = newList(kLinksTab, kLinkColumns, this);
  addTab(responses_, kResponsesTab);
  addTab(rawHeaders_, kRawHeadersTab);
  addTab(links_, kLinksTab);

  connect(responses_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { showResponse(item ? responses_->indexOfTopLevelItem(item) : -1); });
  connect(responses_, &QTreeWidget::customContextMenuRequested, this, &DetailPanel::showResponsesMenu);
  connect(links_, &QTreeWidget::customContextMenuRequested, this, &DetailPanel::showLinksMenu);
}

void DetailPanel::showRecord(const ResultRecord& record) {
  assert(QThread::currentThread() == thread());
  clear();
  record_ = &record;
  QList<QTreeWidgetItem*> rows;
  for (int j = 0; j < record.responseCount; ++j) {
    const ResponseRecord& r = record.responses[j];
    const bool last = j + 1 == record.responseCount;
    rows.append(new QTreeWidgetItem(QStringList{
        storedText(r.url), storedText(r.type), QString::number(r.statusCode), storedText(r.statusText),
        qText(sizeText(r)), r.responseTime < 0 ? QString() : qText(secondsText(r.responseTime)), storedText(r.xRobotsTag),
        storedText(r.vary), last ? QString() : storedText(record.responses[j + 1].url), QString::number(r.linkCount)}));
    for (const int column : kResponseNumberColumns) rows.back()->setTextAlignment(column, kNumberAlignment);
  }
  responses_->addTopLevelItems(rows);
  responses_->setCurrentItem(rows.front());
}

void DetailPanel::clear() {
  assert(QThread::currentThread() == thread());
  record_ = nullptr;
  responses_->clear();  // its currentItemChanged empties the other two
  rawHeaders_->clear();
  links_->clear();
}

void DetailPanel::showResponse(int row) {
  links_->clear();
  if (record_ == nullptr || row < 0 || row >= record_->responseCount) {
    rawHeaders_->clear();
    return;
  }
  const ResponseRecord& response = record_->responses[row];
  rawHeaders_->setPlainText(qText(response.rawHeaders.text()));  // unpacked on demand
  QList<QTreeWidgetItem*> rows;
  for (int k = 0; k < response.linkCount; ++k) {
    const LinkRecord& link = response.links[k];
    rows.append(new QTreeWidgetItem(QStringList{storedText(link.link), storedText(link.rel), storedText(link.hreflang)}));
  }
  links_->addTopLevelItems(rows);
}

void DetailPanel::showResponsesMenu(const QPoint& position) {
  const QString url = selectedText(responses_, 0);
  if (!url.isEmpty()) showUrlMenu(this, responses_->viewport()->mapToGlobal(position), url);
}

void DetailPanel::showLinksMenu(const QPoint& position) {
  const QString url = selectedText(links_, 0);
  if (!url.isEmpty()) showUrlMenu(this, links_->viewport()->mapToGlobal(position), url);
}

std::vector<int64_t> DetailPanel::responsesColumnWidths() const { return widthsOf(responses_); }
std::vector<int64_t> DetailPanel::linksColumnWidths() const { return widthsOf(links_); }

void DetailPanel::setColumnWidths(const std::vector<int64_t>& responses, const std::vector<int64_t>& links) {
  applyWidths(responses_, responses);
  applyWidths(links_, links);
}

}  // namespace tallyvane::ui
