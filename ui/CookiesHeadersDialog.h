#pragma once
// "Cookies & Custom Headers": cookie handling and the header lines added to every request.

#include "ui/SettingsDialog.h"

class QCheckBox;
class QPlainTextEdit;

namespace tallyvane::ui {

class CookiesHeadersDialog : public SettingsDialog {
  Q_OBJECT

 public:
  CookiesHeadersDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QCheckBox* allowCookies_;
  QCheckBox* useCustomHeaders_;
  QPlainTextEdit* customHeaders_;
};

}  // namespace tallyvane::ui
