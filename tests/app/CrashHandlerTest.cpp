#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "app/CrashHandler.h"
#include "app/CrashReport.h"

namespace tallyvane {
namespace {

// The probe program running in a child process, its stdout read through a pipe.
class Probe {
 public:
  explicit Probe(const char* mode) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], STDOUT_FILENO);
      ::close(fds[0]);
      ::close(fds[1]);
      ::execl(CRASH_PROBE_PATH, CRASH_PROBE_PATH, mode, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    output_ = fds[0];
  }
  ~Probe() {
    if (output_ >= 0) ::close(output_);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  pid_t pid() const { return pid_; }

  std::string readLine() {
    std::string line;
    char c = 0;
    while (::read(output_, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  // The rest of the output and the exit status (-1 when it ended by a signal).
  std::pair<std::string, int> finish() {
    std::string rest;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(output_, buffer, sizeof buffer)) > 0) rest.append(buffer, static_cast<size_t>(got));
    int status = 0;
    ::waitpid(pid_, &status, 0);
    return {rest, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

std::string reportLine(int code) { return "crash-report code=" + std::to_string(code) + " code-address="; }

TEST(CrashHandlerTest, SignalsSentToTheRunningProgramStartItsCrashReport) {
  for (const int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) {
    Probe probe("wait");
    ASSERT_EQ(probe.readLine(), "ready");
    ::kill(probe.pid(), signal);
    const auto [output, status] = probe.finish();
    EXPECT_EQ(status, 0) << signal;
    // A sent signal carries no faulting address.
    EXPECT_EQ(output.rfind(reportLine(signal), 0), 0u) << output;
    EXPECT_NE(output.find(" target=0\n"), std::string::npos) << output;
  }
}

TEST(CrashHandlerTest, FaultsOnAnyThreadAreReportedWithTheirAddresses) {
  {
    Probe probe("segv-in-thread");
    const auto [output, status] = probe.finish();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.rfind(reportLine(SIGSEGV), 0), 0u) << output;
    EXPECT_EQ(output.find("code-address=0 "), std::string::npos) << output;
    EXPECT_NE(output.find(" target=16\n"), std::string::npos) << output;
  }
  {
    Probe probe("abort-in-thread");
    const auto [output, status] = probe.finish();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.rfind(reportLine(SIGABRT), 0), 0u) << output;
  }
  {
    Probe probe("bus");
    const std::string target = probe.readLine();
    ASSERT_EQ(target.rfind("target ", 0), 0u) << target;
    const auto [output, status] = probe.finish();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.rfind(reportLine(SIGBUS), 0), 0u) << output;
    EXPECT_NE(output.find(" target=" + target.substr(7) + "\n"), std::string::npos) << output;
  }
}

TEST(CrashReportTest, BusErrorShowsTheTargetAddressOtherFaultsDoNot) {
  const std::string header =
      "Tallyvane has crashed.\rPlease, copy the following message and send it to "
      "support@tallyvane.example\r" +
      std::string(75, '-') + "\r";
  EXPECT_EQ(crashReportText({SIGBUS, 4096, 8192}),
            header + "Error Message:   BUS Error\rError Code:      " + std::to_string(SIGBUS) +
                "\rCode Address:    4096\rTarget Address:  8192\r");
  EXPECT_EQ(crashReportText({SIGSEGV, 4096, 8192}),
            header + "Error Message:   Segmentation violation\rError Code:      " + std::to_string(SIGSEGV) +
                "\rCode Address:    4096\r");
  EXPECT_EQ(crashReportText({99, 1, 0}),
            header + "Error Message:   Unknown error code\rError Code:      99\rCode Address:    1\r");
}

TEST(CrashReportTest, ArgumentsGiveTheReportOnlyInCrashReportMode) {
  const char* normal[] = {"tallyvane", "--settings", "x"};
  EXPECT_FALSE(crashReportFromArguments(3, normal));
  const char* crash[] = {"tallyvane", "--crash-report", "11", "140737", "oops"};
  const auto report = crashReportFromArguments(5, crash);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->code, 11);
  EXPECT_EQ(report->codeAddress, 140737u);
  EXPECT_EQ(report->targetAddress, 0u);
  const char* bare[] = {"tallyvane", "--crash-report"};
  EXPECT_EQ(crashReportFromArguments(2, bare)->code, 0);
}

}  // namespace
}  // namespace tallyvane
