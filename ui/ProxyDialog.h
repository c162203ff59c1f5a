#pragma once
// "Proxy Settings": the HTTP proxy requests go through, and its credentials.

#include "ui/SettingsDialog.h"

class QCheckBox;
class QLineEdit;

namespace tallyvane::ui {

class ProxyDialog : public SettingsDialog {
  Q_OBJECT

 public:
  ProxyDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QCheckBox* useProxy_;
  QLineEdit* address_;
  QLineEdit* port_;
  QLineEdit* user_;
  QLineEdit* password_;
};

}  // namespace tallyvane::ui
