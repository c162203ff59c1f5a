#pragma once
// The fatal-signal handler. A signal handler may only make async-signal-safe calls, so it shows
// nothing itself: it writes a one-line report to stderr and replaces the crashed process with the
// program started as `program --crash-report CODE CODE_ADDRESS TARGET_ADDRESS` (see CrashReport.h),
// which shows the report box. The exec ends every thread of the crashed process; nothing is saved.

#include <memory>
#include <span>
#include <string_view>

namespace tallyvane {

// The faults that end the program with a crash report.
std::span<const int> crashSignals();

// Installs the handler for the whole process, so it holds on every thread, and gives the calling
// thread an alternate signal stack (a stack overflow on it is reported too). Call it first at
// start-up, before any other thread exists. False when the path is too long to keep or a signal
// could not be set.
bool installCrashHandler(std::string_view program);

// An alternate signal stack for the calling thread while it lives, so that a stack overflow on a
// thread started after installCrashHandler() is reported too: the handler cannot run on the stack
// that overflowed.
class AlternateSignalStack {
 public:
  AlternateSignalStack();
  ~AlternateSignalStack();
  AlternateSignalStack(const AlternateSignalStack&) = delete;
  AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

 private:
  std::unique_ptr<char[]> memory_;
  bool installed_ = false;
};

// For the crash-report process: the crashed handler's blocked signals survive exec.
void unblockAllSignals();

}  // namespace tallyvane
