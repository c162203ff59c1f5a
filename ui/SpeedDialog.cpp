#include "ui/SpeedDialog.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "config/TypedValues.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

QLineEdit* digitsField(int64_t value) {
  auto* field = new QLineEdit(QString::number(value));
  field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
  field->setFixedWidth(50);
  return field;
}

}  // namespace

SpeedDialog::SpeedDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("URL Checking Speed"), {400, 170}, "/speed"),
      threads_(digitsField(settings.NumThreads)),
      timeout_(digitsField(settings.TimeoutSeconds)) {
  auto* form = new QFormLayout;
  form->setFormAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  form->addRow(labelFor(threads_, QStringLiteral("Number of Threads (1 to 200): ")), threads_);
  form->addRow(labelFor(timeout_, QStringLiteral("Request Time-out in Seconds (0 = none): ")), timeout_);
  content()->addStretch();
  content()->addLayout(form);
  content()->addStretch();
  threads_->selectAll();
  finishSettingsLayout(ReturnKey::SaveChanges, threads_);
}

bool SpeedDialog::applyTo(Settings& settings) {
  const auto threads = typedThreadCount(utf8Text(threads_->text()));
  const auto timeout = typedTimeoutSeconds(utf8Text(timeout_->text()));
  if (!threads || !timeout) {
    showMessageBox(this, kErrorTitle, !threads ? kInvalidThreadsMessage : kInvalidTimeoutMessage);
    return false;
  }
  settings.NumThreads = *threads;
  settings.TimeoutSeconds = *timeout;
  return true;
}

}  // namespace tallyvane::ui
