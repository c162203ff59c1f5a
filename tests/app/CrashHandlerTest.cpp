#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "app/CrashHandler.h"
#include "app/CrashReport.h"
#include "tests/support/ChildProcess.h"

namespace tallyvane {
namespace {

// The probe program, which installs the handler and waits or fails as asked.
class Probe : public testing::ChildProcess {
 public:
  explicit Probe(const char* mode) : ChildProcess(CRASH_PROBE_PATH, {mode}) {}
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
    // A thread whose stack has overflowed is reported from its alternate stack.
    Probe probe("overflow-in-thread");
    const auto [output, status] = probe.finish();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.rfind(reportLine(SIGSEGV), 0), 0u) << output;
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
