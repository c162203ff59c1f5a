#include "ui/ManualEntryDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Text.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

ManualEntryDialog::ManualEntryDialog(QWidget* mainWindow) : ModalDialog(mainWindow, kManualEntryTitle, {600, 400}) {
  setAccessibleName(kManualEntryTitle);
  text_ = new QPlainTextEdit(this);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QLabel* label = labelFor(text_, kManualEntryLabel);
  // No Return button: Return starts a new line here, never the check.
  start_ = new QPushButton("Start", this);
  start_->setEnabled(false);
  auto* cancel = new QPushButton("Cancel", this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(text_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(text_, &QPlainTextEdit::textChanged, this, [this] { start_->setEnabled(!text_->document()->isEmpty()); });
  connect(start_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  finishLayout(text_);
}

std::string ManualEntryDialog::manualText() const { return withCrLfLineBreaks(utf8Text(text_->toPlainText())); }

}  // namespace tallyvane::ui
