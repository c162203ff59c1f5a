#pragma once
// "URL Checking Options": whether links found in Link headers are checked too.

#include "ui/SettingsDialog.h"

class QCheckBox;

namespace tallyvane::ui {

class UrlCheckingOptionsDialog : public SettingsDialog {
  Q_OBJECT

 public:
  UrlCheckingOptionsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QCheckBox* checkLinks_;
};

}  // namespace tallyvane::ui
