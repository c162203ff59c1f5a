#include "ui/Application.h"

#include "app/CrashHandler.h"
#include "app/ProgramPath.h"
#include "ui/CrashReportBox.h"

// The crash handler comes first, so a fault anywhere after it shows the crash report.
int main(int argc, char** argv) {
  if (const auto report = tallyvane::crashReportFromArguments(argc, argv))
    return tallyvane::ui::showCrashReport(argc, argv, *report);
  tallyvane::installCrashHandler(tallyvane::executablePath());
  return tallyvane::ui::runApplication(argc, argv);
}
