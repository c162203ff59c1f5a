#include "ui/UserAgentsDialog.h"

#include <QComboBox>
#include <QLineEdit>

#include "ui/QtText.h"

namespace tallyvane::ui {

UserAgentsDialog::UserAgentsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("User Agents"), {400, 270}, "/user-agents"),
      working_(settings.userAgents),
      selected_(settings.UserAgent >= 0 && settings.UserAgent < kUserAgentPresetCount
                    ? static_cast<int>(settings.UserAgent)
                    : kDefaultUserAgentPreset),
      presets_(new QComboBox),
      httpText_(new QLineEdit),
      robotsToken_(new QLineEdit) {
  for (const UserAgentPreset& preset : working_) presets_->addItem(qText(preset.name));
  presets_->setCurrentIndex(selected_);
  showPreset(selected_);

  content()->addWidget(labelFor(presets_, QStringLiteral("Preset Agents")));
  content()->addWidget(presets_);
  content()->addSpacing(8);
  content()->addWidget(labelFor(httpText_, QStringLiteral("HTTP Request User Agent")));
  content()->addWidget(httpText_);
  content()->addSpacing(8);
  content()->addWidget(labelFor(robotsToken_, QStringLiteral("Robots User Agent")));
  content()->addWidget(robotsToken_);
  content()->addStretch();

  connect(presets_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    selected_ = index;
    showPreset(index);
  });
  // Every keystroke goes into the working copy of the selected preset.
  connect(httpText_, &QLineEdit::textEdited, this,
          [this](const QString& text) { selectedPreset().httpText = utf8Text(text); });
  connect(robotsToken_, &QLineEdit::textEdited, this,
          [this](const QString& text) { selectedPreset().robotsToken = utf8Text(text); });
  finishSettingsLayout(ReturnKey::Cancel, presets_);
}

void UserAgentsDialog::showPreset(int index) {
  const UserAgentPreset& preset = working_[static_cast<size_t>(index)];
  httpText_->setText(qText(preset.httpText));
  robotsToken_->setText(qText(preset.robotsToken));
  httpText_->setCursorPosition(0);
  robotsToken_->setCursorPosition(0);
}

bool UserAgentsDialog::applyTo(Settings& settings) {
  settings.userAgents = working_;
  settings.UserAgent = selected_;
  settings.activateSelectedUserAgent();
  return true;
}

}  // namespace tallyvane::ui
