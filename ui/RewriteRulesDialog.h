#pragma once
// "Rewrite Rules Configuration": search-and-replace rules applied to every URL before it is
// checked, and whether they are applied at all.

#include "ui/SettingsDialog.h"

class QCheckBox;
class QPlainTextEdit;

namespace tallyvane::ui {

class RewriteRulesDialog : public SettingsDialog {
  Q_OBJECT

 public:
  RewriteRulesDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QCheckBox* rewrite_;
  QPlainTextEdit* rules_;
};

}  // namespace tallyvane::ui
