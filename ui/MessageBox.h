#pragma once

#include <string_view>

class QWidget;

namespace tallyvane::ui {

// A modal message box with one OK button over parent.
void showMessageBox(QWidget* parent, std::string_view title, std::string_view text);

}  // namespace tallyvane::ui
