#pragma once
// Saves the results file every interval while a crawl runs, so a kill, a crash or a reboot loses
// at most one interval of work. The store only grows: a save takes the record count when it
// starts and writes those records while the workers go on adding. Each save goes through the
// results file's safe replace, so the file on disk is always a complete one.
//
// Threads: constructed and stopped by the thread that runs the crawl; saves run on a thread of
// their own, which calls failed() with the message of a save that did not succeed.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "base/Message.h"
#include "base/ThreadAffinity.h"
#include "results/ResultStore.h"

namespace tallyvane {

class Checkpoints {
 public:
  using Failed = std::function<void(const Message&)>;
  // The store's test mode is the crawl's; interval > 0.
  Checkpoints(const ResultStore& store, TestMode testMode, std::filesystem::path path,
              std::chrono::milliseconds interval, Failed failed);
  // Stops.
  ~Checkpoints();
  Checkpoints(const Checkpoints&) = delete;
  Checkpoints& operator=(const Checkpoints&) = delete;

  // Ends the thread, a save in progress cut short (its temporary file removed, the last complete
  // checkpoint left in place): the final save follows.
  void stop();
  // Checkpoints written so far.
  int64_t written() const;

 private:
  void run();
  bool waitForNext();

  const ResultStore& store_;
  const TestMode testMode_;
  const std::filesystem::path path_;
  const std::chrono::milliseconds interval_;
  const Failed failed_;
  const ThreadOwner owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopping_{false};
  int64_t written_ = 0;
  std::thread thread_;
};

}  // namespace tallyvane
