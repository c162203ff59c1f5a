#pragma once
// Sorting the result list by a column, on a thread of its own, stoppable at any time.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "results/ColumnOrder.h"
#include "results/ResultColumns.h"
#include "results/ResultStore.h"

namespace tallyvane {

class ResultSorter {
 public:
  explicit ResultSorter(ResultStore& store) : store_(store) {}
  ~ResultSorter() { stop(); }
  ResultSorter(const ResultSorter&) = delete;
  ResultSorter& operator=(const ResultSorter&) = delete;

  // Stops a running sort, then sorts the rows of filter (0: all) on the sort thread and installs
  // the order in the store; done runs on the sort thread once the order is installed.
  void sort(int filter, int column, bool descending, std::function<void()> done = {});
  // Stops a running sort and waits for its thread; the store keeps the order it had.
  void stop();
  // Waits for a running sort to finish.
  void wait();

 private:
  ResultStore& store_;
  std::mutex sortLock_;
  std::atomic<bool> stopFlag_{false};
  std::thread thread_;
};

// Rows in sorted order, each with its key, as the sort leaves them: the sort's own entries, so
// that no second copy of ten million keys is made.
class SortedRows {
 public:
  struct Entry {
    uint64_t chunk;  // the number (offset to sort unsigned), or while sorting eight bytes of text
    const char* text;
    uint32_t length;
    uint32_t row;
  };

  size_t size() const { return entries_.size(); }
  uint32_t row(size_t i) const { return entries_[i].row; }
  ColumnKey key(size_t i) const {
    const Entry& e = entries_[i];
    return ColumnKey{numbered_ ? fromOrderedBits(e.chunk) : 0, std::string_view(e.text, e.length)};
  }

 private:
  friend bool sortRows(const SortSnapshot&, const ColumnOrder&, const std::atomic<bool>&, SortedRows&);
  friend void mergeAfterEquals(SortedRows&, const SortedRows&, const ColumnOrder&);
  std::vector<Entry> entries_;
  bool numbered_ = false;
};

// Sorts the snapshot's rows by a column into sorted: O(n log n) at worst, stable (equal rows keep
// store order), and false when stop was set meanwhile. Each row's key is taken once.
bool sortRows(const SortSnapshot& snapshot, const ColumnOrder& order, const std::atomic<bool>& stop, SortedRows& sorted);

// Merges added (sorted, and later in store order than every row of sorted) into sorted, each
// added row after its equals: k binary searches and one pass of copying.
void mergeAfterEquals(SortedRows& sorted, const SortedRows& added, const ColumnOrder& order);

}  // namespace tallyvane
