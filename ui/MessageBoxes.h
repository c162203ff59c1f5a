#pragma once
// Message boxes with the program's titles and texts. Main thread only.

#include <string_view>

class QWidget;

namespace tallyvane::ui {

// A box with an OK button, modal for parent's window; returns at once, so no caller runs a nested
// event loop while the box is open.
void showMessageBox(QWidget* parent, std::string_view title, std::string_view text);

// The same box, blocking until it is closed: for start-up and quitting, when no event loop runs on.
void showMessageBoxAndWait(QWidget* parent, std::string_view title, std::string_view text);

// A box with Yes and No; blocks until answered. True for Yes.
bool askYesNo(QWidget* parent, std::string_view title, std::string_view text);

}  // namespace tallyvane::ui
