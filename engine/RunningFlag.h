#pragma once
// The running flag of a crawl. Clearing it also shuts down every socket the workers' transfers
// use, so a server that never answers cannot hold a worker until libcurl's next timer (up to a
// second). Workers and libcurl callbacks read the flag without a lock.

#include <atomic>
#include <mutex>
#include <vector>

namespace tallyvane {

class RunningFlag {
 public:
  bool isSet() const { return running_.load(std::memory_order_relaxed); }
  void set() { running_.store(true); }
  // Safe from any thread (not from a signal handler).
  void clear();

  // Sockets libcurl opens and closes for the transfers of a crawl.
  void addSocket(int fd);
  void removeSocket(int fd);

 private:
  std::atomic<bool> running_{true};
  std::mutex mutex_;
  std::vector<int> sockets_;
};

}  // namespace tallyvane
