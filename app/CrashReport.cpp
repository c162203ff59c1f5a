#include "app/CrashReport.h"

#include <charconv>
#include <csignal>

namespace tallyvane {
namespace {

template <typename Number>
Number numberOrZero(const char* text) {
  Number value = 0;
  if (!text) return 0;
  const std::string_view view(text);
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return error == std::errc() && end == view.data() + view.size() ? value : 0;
}

struct SignalName {
  int code;
  std::string_view message;
};

// Keyed by the platform's own signal numbers, which differ between systems (SIGBUS is 10 on macOS
// and 7 on Linux, where 10 is SIGUSR1).
constexpr SignalName kSignalNames[] = {
    {SIGHUP, "Hangup signal"},
    {SIGINT, "Interrupt signal"},
    {SIGQUIT, "Quit signal"},
    {SIGILL, "Illegal instruction"},
    {SIGTRAP, "Trace trap"},
    {SIGABRT, "Abort signal"},
    {SIGFPE, "Floating-point exception"},
    {SIGKILL, "Kill signal"},
    {SIGBUS, "BUS Error"},
    {SIGSEGV, "Segmentation violation"},
    {SIGSYS, "Bad system call"},
    {SIGPIPE, "Broken pipe"},
    {SIGALRM, "Alarm clock signal"},
    {SIGTERM, "Termination signal"},
    {SIGURG, "Urgent condition on socket"},
    {SIGSTOP, "Stop signal"},
    {SIGTSTP, "Keyboard stop"},
    {SIGCONT, "Continue signal"},
    {SIGCHLD, "Child status has changed"},
    {SIGTTIN, "Background read from tty"},
    {SIGTTOU, "Background write to tty"},
    {SIGIO, "I/O now possible"},
    {SIGXCPU, "CPU limit exceeded"},
    {SIGXFSZ, "File size limit exceeded"},
    {SIGVTALRM, "Virtual alarm clock"},
    {SIGPROF, "Profiling alarm clock"},
    {SIGWINCH, "Window size chang"},
    {SIGUSR1, "Userdefined signal 1"},
    {SIGUSR2, "Userdefined signal 2"},
};

}  // namespace

std::optional<CrashReport> crashReportFromArguments(int argc, const char* const* argv) {
  if (argc < 2 || argv[1] != kCrashReportOption) return std::nullopt;
  const auto argument = [&](int index) { return index < argc ? argv[index] : nullptr; };
  return CrashReport{numberOrZero<int>(argument(2)), numberOrZero<uint64_t>(argument(3)),
                     numberOrZero<uint64_t>(argument(4))};
}

std::string_view signalMessage(int code) {
  for (const SignalName& name : kSignalNames) {
    if (name.code == code) return name.message;
  }
  return "Unknown error code";
}

std::string crashReportText(const CrashReport& report) {
  std::string text = "Tallyvane has crashed.\r";
  text += "Please, copy the following message and send it to " + std::string(kSupportAddress) + "\r";
  text += std::string(75, '-') + "\r";
  text += "Error Message:   " + std::string(signalMessage(report.code)) + "\r";
  text += "Error Code:      " + std::to_string(report.code) + "\r";
  text += "Code Address:    " + std::to_string(report.codeAddress) + "\r";
  if (report.code == SIGBUS) text += "Target Address:  " + std::to_string(report.targetAddress) + "\r";
  return text;
}

}  // namespace tallyvane
