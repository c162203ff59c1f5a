#pragma once
// Sorting the result list by a column, on a thread of its own, stoppable at any time.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "results/ResultColumns.h"
#include "results/ResultStore.h"

namespace tallyvane {

// The comparison of a column (ascending: -1, 0, 1; descending: the opposite).
RecordComparator columnComparator(int column, bool descending);

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

// Sorts the snapshot's rows by a column: O(n log n) at worst, stable (equal rows keep store
// order), and false when stop was set meanwhile. Each row's key is taken once.
bool sortRows(SortSnapshot& snapshot, int column, bool descending, const std::atomic<bool>& stop);

}  // namespace tallyvane
