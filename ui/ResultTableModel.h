#pragma once
// The main result list as a view of the core: no row is copied; every cell text is built from the
// record at its row when Qt asks for it. Rows that arrive during a crawl are announced in batches
// by refresh(), which the main window calls on its 250 ms timer.
//
// Main thread only.

#include <QAbstractTableModel>

#include <functional>
#include <string>
#include <unordered_map>

#include "app/CrawlSession.h"
#include "results/ResultView.h"
#include "results/UrlSearch.h"

namespace tallyvane::ui {

class ResultTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ResultTableModel(const ResultView& view, QObject* parent = nullptr);

  // Changes the column set; the list shows no rows until the next refresh().
  void setMode(ListMode mode);
  ListMode mode() const { return mode_; }

  // The live view's rows, shown at once: one per worker, the text of each from the source (worker
  // 1..rows).
  void setLiveRows(int rows, std::function<std::string(int worker)> currentUrl);

  // While not ready (columns rebuilt, a file task running) the list shows nothing and reads no
  // record.
  void setReady(bool ready);
  bool isReady() const { return ready_; }

  // Announces rows added since the last call; when the order changed (a sort installed, rows
  // inserted in a sorted view) repaints every row without moving the selection.
  void refresh(bool orderChanged);
  // The rows changed as a whole: filter, clear, load.
  void reload();
  // The rows a search found, in place of the view's; nullptr shows the view's rows again.
  void setSearchRows(std::shared_ptr<const UrlSearch::Rows> rows);
  bool showsSearchRows() const { return searchRows_ != nullptr; }

  // The record shown at a row; nullptr in the live view, while not ready, or out of range.
  const ResultRecord* recordAtRow(int row) const;

  // Column of the result columns (kTestResultColumn .. kLinkHeadersColumn) at a section.
  int resultColumnAt(int section) const { return mode_ == ListMode::TestResults ? section - 1 : section; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  int currentRowCount() const;

  const ResultView& view_;
  ListMode mode_ = ListMode::Results;
  bool ready_ = true;
  int shownRows_ = 0;  // what Qt has been told; the store may hold more until the next refresh
  int liveRows_ = 0;
  std::function<std::string(int)> currentUrl_;
  std::shared_ptr<const UrlSearch::Rows> searchRows_;
  // The records of the rows painted since the last refresh: every cell of a row shows the same
  // record even while a sorted view takes new rows, and the store's lock is taken once a row.
  mutable std::unordered_map<int, const ResultRecord*> shownRecords_;
};

}  // namespace tallyvane::ui
