#pragma once
// "URL Checking Speed": the number of worker threads, 1 to 200, how long one request may take, and
// the politeness towards each host: requests in flight to it, the delay between two starts, and
// how long a Retry-After is waited for.

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
  QLineEdit* timeout_;
  QLineEdit* maxPerHost_;
  QLineEdit* hostDelay_;
  QLineEdit* retryAfterLimit_;
};

}  // namespace tallyvane::ui
