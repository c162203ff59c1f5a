#pragma once
// The fatal-signal handler. A signal handler may only make async-signal-safe calls, so it shows
// nothing itself: it writes a one-line report to stderr and replaces the crashed process with the
// program started as `program --crash-report CODE CODE_ADDRESS TARGET_ADDRESS` (see CrashReport.h),
// which shows the report box. The exec ends every thread of the crashed process; nothing is saved.

#include <span>
#include <string_view>

namespace tallyvane {

// The faults that end the program with a crash report.
std::span<const int> crashSignals();

// Installs the handler for the whole process, so it holds on every thread, and gives the calling
// thread an alternate signal stack (a stack overflow on it is reported too; the threads started
// later hold an AlternateSignalStack). Call it first at start-up, before any other thread exists.
// False when the path is too long to keep or a signal could not be set.
bool installCrashHandler(std::string_view program);

// For the crash-report process: the crashed handler's blocked signals survive exec.
void unblockAllSignals();

}  // namespace tallyvane
