#include "results/ResultView.h"

namespace tallyvane {

void ResultView::selectFilter(Filter filter) {
  sorter_.stop();
  store_.dropSortedOrder();
  direction_ = SortDirection::None;
  filter_ = filter;
}

SortDirection ResultView::columnClicked(int column, std::function<void()> sorted) {
  const SortDirection next =
      column == sortColumn_ && direction_ == SortDirection::Ascending ? SortDirection::Descending : SortDirection::Ascending;
  sortBy(column, next, std::move(sorted));
  return next;
}

void ResultView::sortBy(int column, SortDirection direction, std::function<void()> sorted) {
  sortColumn_ = column;
  direction_ = direction;
  sorter_.sort(filter_, column, direction == SortDirection::Descending, std::move(sorted));
}

void ResultView::clearStore() {
  sorter_.stop();
  direction_ = SortDirection::None;
  store_.clear();
}

std::string ResultView::filteredUrlsText(bool crawlRunning) const {
  const ViewSelection view = selection();
  if (view.sorted) return "Filtered URLs:" + std::to_string(store_.rowCount(view));
  if (view.filter != Filter::AllUrls) return "Filtered URLs: " + std::to_string(store_.rowCount(view));
  if (crawlRunning) return {};
  return "Filtered URLs: " + std::to_string(store_.count());
}

}  // namespace tallyvane
