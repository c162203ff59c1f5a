#include "ui/ResultTableModel.h"

#include <QThread>
#include <cassert>

#include <algorithm>
#include <limits>

#include "results/ResultColumns.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

constexpr const char* kLiveColumnTitles[] = {"Thread", "URL"};

}  // namespace

ResultTableModel::ResultTableModel(const ResultView& view, QObject* parent) : QAbstractTableModel(parent), view_(view) {}

void ResultTableModel::setMode(ListMode mode) {
  beginResetModel();
  shownRecords_.clear();
  mode_ = mode;
  shownRows_ = 0;
  endResetModel();
}

void ResultTableModel::setLiveRows(int rows, std::function<std::string(int worker)> currentUrl) {
  beginResetModel();
  shownRecords_.clear();
  liveRows_ = rows;
  currentUrl_ = std::move(currentUrl);
  shownRows_ = currentRowCount();
  endResetModel();
}

void ResultTableModel::setReady(bool ready) {
  if (ready == ready_) return;
  beginResetModel();
  shownRecords_.clear();
  ready_ = ready;
  shownRows_ = 0;
  endResetModel();
}

int ResultTableModel::currentRowCount() const {
  if (!ready_) return 0;
  if (mode_ == ListMode::Live) return liveRows_;
  if (searchRows_) return static_cast<int>(std::min<size_t>(searchRows_->size(), std::numeric_limits<int>::max()));
  // A view is a QTableView: its rows are ints.
  return static_cast<int>(std::min<int64_t>(view_.rowCount(), std::numeric_limits<int>::max()));
}

void ResultTableModel::refresh(bool orderChanged) {
  assert(QThread::currentThread() == thread());
  const int rows = currentRowCount();
  if (rows < shownRows_) return reload();
  if (orderChanged) shownRecords_.clear();
  if (rows > shownRows_) {
    beginInsertRows({}, shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
  }
  if ((orderChanged || mode_ == ListMode::Live) && shownRows_ > 0) {
    emit dataChanged(index(0, 0), index(shownRows_ - 1, columnCount() - 1));
  }
}

void ResultTableModel::reload() {
  assert(QThread::currentThread() == thread());
  beginResetModel();
  shownRecords_.clear();
  shownRows_ = currentRowCount();
  endResetModel();
}

void ResultTableModel::setSearchRows(std::shared_ptr<const UrlSearch::Rows> rows) {
  assert(QThread::currentThread() == thread());
  const bool wasSearching = searchRows_ != nullptr;
  searchRows_ = std::move(rows);
  if (!wasSearching || !searchRows_) return reload();
  // A newer result of the same search: rows are added or moved, so the selection is kept where
  // it can be.
  refresh(true);
}

const ResultRecord* ResultTableModel::recordAtRow(int row) const {
  if (mode_ == ListMode::Live || !ready_ || row < 0 || row >= shownRows_) return nullptr;
  if (searchRows_) return static_cast<size_t>(row) < searchRows_->size() ? (*searchRows_)[static_cast<size_t>(row)] : nullptr;
  // A window shows a few dozen rows; the bound only guards against a view that reads them all.
  if (shownRecords_.size() > 4096) shownRecords_.clear();
  const auto [entry, added] = shownRecords_.try_emplace(row, nullptr);
  if (added) entry->second = view_.recordAtRow(row);
  return entry->second;
}

int ResultTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int ResultTableModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  switch (mode_) {
    case ListMode::Live: return 2;
    case ListMode::TestResults: return kResultColumnCount + 1;
    case ListMode::Results: break;
  }
  return kResultColumnCount;
}

namespace {

bool isNumberColumn(int column) {
  return column == kStatusCodeColumn || column == kSizeColumn || column == kResponseTimeColumn ||
         column == kRedirectsColumn || column == kLinkHeadersColumn;
}

}  // namespace

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::TextAlignmentRole && mode_ != ListMode::Live && isNumberColumn(resultColumnAt(index.column()))) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole || !ready_ || !index.isValid() || index.row() >= shownRows_) return {};
  if (mode_ == ListMode::Live) {
    const int worker = index.row() + 1;
    if (index.column() == 0) return QString::number(worker);
    return currentUrl_ ? qText(currentUrl_(worker)) : QString();
  }
  const ResultRecord* record = recordAtRow(index.row());
  if (record == nullptr) return {};
  return qText(cellText(*record, resultColumnAt(index.column())));
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && mode_ != ListMode::Live &&
      isNumberColumn(resultColumnAt(section))) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (mode_ == ListMode::Live) return section >= 0 && section < 2 ? QString(kLiveColumnTitles[section]) : QVariant();
  const int column = resultColumnAt(section);
  if (column == kTestResultColumn) return qText(kTestResultTitle);
  if (column < 0 || column >= kResultColumnCount) return {};
  return qText(kResultColumnTitles[static_cast<size_t>(column)]);
}

}  // namespace tallyvane::ui
