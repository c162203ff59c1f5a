#pragma once
// "URL Checking Speed": the number of worker threads, 1 to 200.

#include "ui/SettingsDialog.h"

class QLineEdit;

namespace tallyvane::ui {

class SpeedDialog : public SettingsDialog {
  Q_OBJECT

 public:
  SpeedDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QLineEdit* threads_;
};

}  // namespace tallyvane::ui
