#include <QApplication>

#include "app/CrashHandler.h"
#include "app/ProgramPath.h"
#include "ui/CrashReportBox.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
  if (const auto report = tallyvane::crashReportFromArguments(argc, argv))
    return tallyvane::ui::showCrashReport(argc, argv, *report);
  tallyvane::installCrashHandler(tallyvane::executablePath());
  QApplication application(argc, argv);
  tallyvane::ui::MainWindow window;
  window.show();
  return application.exec();
}
