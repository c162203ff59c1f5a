#pragma once
// Sorting the result list by a column, on a thread of its own, stoppable at any time.

#include <atomic>
#include <functional>
#include <memory>
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

  // Stops a running sort, then sorts the rows of filter on the sort thread and installs the order
  // in the store; done runs on the sort thread once the order is installed.
  void sort(Filter filter, int column, bool descending, std::function<void()> done = {});
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

// The snapshot's rows (in store order) as a sorted view of a column: O(n log n) at worst,
// stable (equal rows keep store order), each row's key taken once; nullptr when stop was set
// meanwhile. Throws std::bad_alloc.
std::unique_ptr<SortedOrder> sortRows(const SortSnapshot& snapshot, const ColumnOrder& order,
                                      const std::atomic<bool>& stop);

}  // namespace tallyvane
