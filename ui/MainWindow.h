#pragma once
// The program's only permanent window.

#include <QMainWindow>

namespace tallyvane::ui {

inline constexpr const char* kProgramTitle = "Tallyvane";

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace tallyvane::ui
