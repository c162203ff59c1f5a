#include "ui/ManualEntryDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Text.h"

namespace tallyvane::ui {

ManualEntryDialog::ManualEntryDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kManualEntryTitle);
  setAccessibleName(kManualEntryTitle);
  auto* label = new QLabel(kManualEntryLabel, this);
  text_ = new QPlainTextEdit(this);
  text_->setAccessibleName(kManualEntryLabel);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Return starts a new line here, never the check.
  start_ = new QPushButton("Start", this);
  start_->setAutoDefault(false);
  start_->setEnabled(false);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setAutoDefault(false);

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
  resize(600, 400);
}

std::string ManualEntryDialog::manualText() const { return withCrLfLineBreaks(text_->toPlainText().toStdString()); }

}  // namespace tallyvane::ui
