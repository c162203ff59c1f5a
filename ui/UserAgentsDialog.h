#pragma once
// "User Agents": choose the preset requests present themselves as, and edit the presets' texts.
// Edits go into a working copy of the whole table, so edits to several presets survive switching
// between them; only "Save Changes" makes the copy the table.

#include "ui/SettingsDialog.h"

class QComboBox;
class QLineEdit;

namespace tallyvane::ui {

class UserAgentsDialog : public SettingsDialog {
  Q_OBJECT

 public:
  UserAgentsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

 protected:
  bool applyTo(Settings& settings) override;

 private:
  void showPreset(int index);
  UserAgentPreset& selectedPreset() { return working_[static_cast<size_t>(selected_)]; }

  UserAgentPresets working_;
  int selected_;
  QComboBox* presets_;
  QLineEdit* httpText_;
  QLineEdit* robotsToken_;
};

}  // namespace tallyvane::ui
