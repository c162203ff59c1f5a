#pragma once
// Ctrl-C, SIGTERM and SIGHUP. The first stops the work in hand as the Abort button does (what
// was checked is still written); signals within a second of it are the same interrupt (`timeout`
// sends two at once); a later one ends the program at once, removing every file half-written.
// A signal ignored when the program started (a background job's SIGINT, nohup's SIGHUP) stays
// ignored. The state is the program's own, whether a crawl runs yet, still or no more.

#include <functional>

namespace tallyvane::cli {

// Call before any other thread starts: the signals are then taken by one watching thread, where
// stopping may lock (a signal handler may not).
void watchInterrupts();

// Whether an interrupt has come since the program started.
bool interrupted();

// While it lives, an interrupt calls stop (on the watching thread); at once when one came
// before. One at a time.
class StopOnInterrupt {
 public:
  explicit StopOnInterrupt(std::function<void()> stop);
  ~StopOnInterrupt();
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
};

}  // namespace tallyvane::cli
