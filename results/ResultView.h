#pragma once
// What the result list shows: all records, one filter's, or a sorted order of either; the
// column-click cycle; and the "Filtered URLs: " text. Toolkit-neutral: the desktop list and the
// CLI both read rows through it.

#include <functional>
#include <string>

#include "results/ResultSort.h"
#include "results/ResultStore.h"

namespace tallyvane {

enum class SortDirection { None, Ascending, Descending };

class ResultView {
 public:
  explicit ResultView(ResultStore& store) : store_(store), sorter_(store) {}

  // Stops a running sort and drops the sorted order and every indicator.
  void selectFilter(Filter filter);
  // Ascending, unless the column already showed ascending: then descending. Starts the sort;
  // sorted runs on the sort thread when the new order is in place.
  SortDirection columnClicked(int column, std::function<void()> sorted = {});
  // Sorts by column in the given direction (the CLI's --sort).
  void sortBy(int column, SortDirection direction, std::function<void()> sorted = {});
  void waitForSort() { sorter_.wait(); }
  void stopSort() { sorter_.stop(); }

  // Stops the sort before the store is cleared, so nothing reads a freed record.
  void clearStore();

  Filter filter() const { return filter_; }
  int sortColumn() const { return sortColumn_; }
  SortDirection direction() const { return direction_; }
  ViewSelection selection() const { return {store_.isSorted(), filter_}; }
  int64_t rowCount() const { return store_.rowCount(selection()); }
  const ResultRecord* recordAtRow(int64_t row) const { return store_.recordAtRow(row, selection()); }

  // Status-bar field 0.
  std::string filteredUrlsText(bool crawlRunning) const;

 private:
  ResultStore& store_;
  ResultSorter sorter_;
  Filter filter_ = Filter::AllUrls;
  int sortColumn_ = kUrlColumn;
  SortDirection direction_ = SortDirection::None;
};

}  // namespace tallyvane
