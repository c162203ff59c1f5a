#pragma once
// The crash report: what a fatal signal left to tell, and its text. The crashed process starts the
// program again with kCrashReportOption and the three numbers; that process shows the report.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

inline constexpr std::string_view kCrashReportOption = "--crash-report";
inline constexpr std::string_view kCrashReportTitle = "Fatal Error a.k.a Program CRASH";
inline constexpr std::string_view kSupportAddress = "support@tallyvane.example";

struct CrashReport {
  int code = 0;                // the signal number
  uint64_t codeAddress = 0;    // the faulting instruction
  uint64_t targetAddress = 0;  // the address a memory fault touched; 0 when unknown
};

// The report the command line carries (program --crash-report CODE CODE_ADDRESS TARGET_ADDRESS), or
// nothing when the program was started normally. Missing or unreadable numbers read as 0.
std::optional<CrashReport> crashReportFromArguments(int argc, const char* const* argv);

// The signal's name as the report shows it; "Unknown error code" for any other code.
std::string_view signalMessage(int code);

// The report's lines, each ending in a single CR. The target address is shown for a bus error only.
std::string crashReportText(const CrashReport& report);

}  // namespace tallyvane
