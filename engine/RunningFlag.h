#pragma once
// The running flag of a crawl. Workers and libcurl callbacks read it without a lock; the abort
// callback ends a transfer in progress at libcurl's next progress call (about once a second when
// nothing arrives). Clearing it is a single atomic store, safe from any thread or signal handler.

#include <atomic>

namespace tallyvane {

class RunningFlag {
 public:
  bool isSet() const { return running_.load(std::memory_order_relaxed); }
  void set() { running_.store(true); }
  void clear() { running_.store(false); }

 private:
  std::atomic<bool> running_{true};
};

}  // namespace tallyvane
