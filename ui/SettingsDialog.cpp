#include "ui/SettingsDialog.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

SettingsDialog::SettingsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow,
                               const QString& title, QSize size, std::string_view helpPath)
    : ModalDialog(mainWindow, title, size, helpPath),
      settings_(settings),
      location_(location),
      content_(new QVBoxLayout),
      saveButton_(new QPushButton(qText(kSaveChangesText))),
      cancelButton_(new QPushButton(qText(kCancelText))) {
  named(saveButton_, saveButton_->text());
  named(cancelButton_, cancelButton_->text());
  saveButton_->setMinimumWidth(150);
  cancelButton_->setMinimumWidth(100);
  connect(saveButton_, &QPushButton::clicked, this, &SettingsDialog::saveChanges);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsDialog::finishSettingsLayout(ReturnKey returnKey, QWidget* first) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(saveButton_);
  buttons->addWidget(cancelButton_);
  buttons->addStretch();
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 15, 20, 15);
  page->addLayout(content_, 1);
  page->addSpacing(10);
  page->addLayout(buttons);
  if (returnKey == ReturnKey::SaveChanges) setReturnButton(saveButton_);
  if (returnKey == ReturnKey::Cancel) setReturnButton(cancelButton_);
  finishLayout(first);
}

void SettingsDialog::saveChanges() {
  if (!applyTo(settings_)) return;
  // A file that cannot be written is reported over the main window, as this dialog closes; the
  // new values stay in force for this run.
  if (const auto failure = saveSettings(settings_, location_)) {
    showMessageBox(parentWidget(), failure->title, failure->text);
  }
  accept();
}

}  // namespace tallyvane::ui
