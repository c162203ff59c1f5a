#pragma once
// "TLS and Hosts": the certificate authorities to trust in place of the system's (a staging
// server's own CA) and host overrides (HOST:PORT:ADDRESS) that every check and test of the window
// connects through.

#include "ui/SettingsDialog.h"

class QLineEdit;
class QPlainTextEdit;

namespace tallyvane::ui {

inline constexpr const char* kTlsHostsTitle = "TLS and Hosts";

class TlsHostsDialog : public SettingsDialog {
  Q_OBJECT

 public:
  TlsHostsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

  QLineEdit* caBundleField() const { return caBundle_; }
  QPlainTextEdit* hostsField() const { return hosts_; }

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QLineEdit* caBundle_;
  QPlainTextEdit* hosts_;
};

}  // namespace tallyvane::ui
