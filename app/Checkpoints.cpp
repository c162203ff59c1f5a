#include "app/Checkpoints.h"

#include <cassert>

#include "base/AlternateSignalStack.h"
#include "results/ResultsFile.h"

namespace tallyvane {

Checkpoints::Checkpoints(const ResultStore& store, TestMode testMode, std::filesystem::path path,
                         std::chrono::milliseconds interval, Failed failed)
    : store_(store), testMode_(testMode), path_(std::move(path)), interval_(interval), failed_(std::move(failed)) {
  thread_ = std::thread([this] {
    const AlternateSignalStack signalStack;
    run();
  });
}

Checkpoints::~Checkpoints() { stop(); }

void Checkpoints::stop() {
  assert(owner_.isCurrent());
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

int64_t Checkpoints::written() const {
  assert(owner_.isCurrent());
  std::lock_guard lock(mutex_);
  return written_;
}

bool Checkpoints::waitForNext() {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, interval_, [this] { return stopping_.load(); });
}

void Checkpoints::run() {
  int64_t savedCount = -1;
  while (waitForNext()) {
    // A checkpoint as large as the last one holds the same records: the store only grows.
    const int64_t count = store_.count();
    if (count == savedCount || count == 0) continue;
    if (const auto failure = saveResults(store_, testMode_, path_, {}, &stopping_)) {
      if (!stopping_) failed_(*failure);
      continue;
    }
    savedCount = count;
    std::lock_guard lock(mutex_);
    ++written_;
  }
}

}  // namespace tallyvane
