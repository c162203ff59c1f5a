#pragma once
// Where the main window was left: its normal frame, whether it was maximised, and the height of
// the result list above the detail panel, kept in the settings between runs.

#include "config/Settings.h"

class QMainWindow;
class QSplitter;

namespace tallyvane::ui {

// Before the window is shown: its size and maximised state, and its position when that lies on a
// screen. False when no position was restored (none kept, or off every screen): the caller
// places the window itself.
bool restoreWindowPlacement(QMainWindow& window, const Settings& settings);
// Once the window is laid out: the list's height, when one was kept.
void restoreSplitterPlacement(QSplitter& splitter, const Settings& settings);
void captureWindowPlacement(const QMainWindow& window, const QSplitter& splitter, Settings& settings);

}  // namespace tallyvane::ui
