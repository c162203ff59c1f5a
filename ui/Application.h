#pragma once
// The desktop program from start to end: libcurl, settings, the main window and its event loop,
// and the quit.

namespace tallyvane::ui {

// Runs the program; its exit status.
int runApplication(int argc, char** argv);

}  // namespace tallyvane::ui
