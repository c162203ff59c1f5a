#pragma once
// The crash report box: what the program shows when started in crash-report mode by the fatal-signal
// handler of a crashed run. It shows only this box, and ends after OK.

#include "app/CrashReport.h"

class QMessageBox;

namespace tallyvane::ui {

// The box, not yet shown.
QMessageBox* createCrashReportBox(const CrashReport& report);

// Runs the crash-report process: shows the box and returns the exit status once OK is pressed.
int showCrashReport(int argc, char** argv, const CrashReport& report);

}  // namespace tallyvane::ui
