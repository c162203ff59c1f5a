#include "ui/MainWindow.h"

namespace tallyvane::ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(kProgramTitle);
  resize(1000, 800);
}

}  // namespace tallyvane::ui
