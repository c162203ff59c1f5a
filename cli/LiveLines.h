#pragma once
// The per-URL lines of a run in a pipeline format, each written as soon as the store has its URL,
// and flushed, so `| grep` and `tee` see results while the crawl runs. One thread of its own
// writes them in store order; the workers only wake it.

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/ResultLines.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

class LiveLines {
 public:
  // Writes the heading row at once.
  LiveLines(const ResultStore& store, LineContext context, LineFormat format, std::FILE* out);
  ~LiveLines() { finish(); }
  LiveLines(const LiveLines&) = delete;
  LiveLines& operator=(const LiveLines&) = delete;

  // Any thread: the store has new records.
  void recordsAdded();
  // Writes the lines still due and ends the writer.
  void finish();

 private:
  void run();
  // False once the reader has gone (| head): the lines end, the run does not.
  bool writeUpTo(int64_t count);

  const ResultStore& store_;
  const LineContext context_;
  const LineFormat format_;
  std::FILE* const out_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool added_ = false;
  bool finishing_ = false;
  int64_t written_ = 0;  // the writer's own
  std::thread writer_;
};

}  // namespace tallyvane::cli
