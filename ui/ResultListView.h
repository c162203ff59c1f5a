#pragma once
// The main result list: a million rows laid out at no cost (fixed row heights), several rows
// selectable, Ctrl+C copying the selected rows as tab-separated text with their header row, and a
// tooltip with the whole text of a cell that is cut off.
//
// Main thread only.

#include <QTableView>

#include <vector>

namespace tallyvane::ui {

class ResultListView : public QTableView {
  Q_OBJECT

 public:
  explicit ResultListView(QWidget* parent = nullptr);

  // The selected rows in list order.
  std::vector<int> selectedRowNumbers() const;
  // The header row, then one line per selected row; cells separated by tabs.
  QString selectedRowsText() const;
  // The URL column of each selected row, one a line.
  QString selectedUrlsText() const;
  void copySelectedRows() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString rowText(int row) const;
  int urlColumn() const;
};

}  // namespace tallyvane::ui
