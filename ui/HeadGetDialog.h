#pragma once
// "HEAD/GET Method Configuration": which request method is used, and for which hosts GET.

#include "ui/SettingsDialog.h"

class QButtonGroup;
class QCheckBox;
class QPlainTextEdit;

namespace tallyvane::ui {

class HeadGetDialog : public SettingsDialog {
  Q_OBJECT

 public:
  HeadGetDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  QButtonGroup* methods_;  // ids are the HeaderRequestMethod values
  QCheckBox* fallback_ = nullptr;
  QPlainTextEdit* getDomains_;
};

}  // namespace tallyvane::ui
