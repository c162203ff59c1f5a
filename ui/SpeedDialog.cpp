#include "ui/SpeedDialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "config/TypedValues.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

SpeedDialog::SpeedDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("URL Checking Speed"), {400, 150}, "/speed"),
      threads_(new QLineEdit(QString::number(settings.NumThreads))) {
  threads_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), threads_));
  threads_->setFixedWidth(50);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(labelFor(threads_, QStringLiteral("Number of Threads (1 to 200): ")));
  row->addWidget(threads_);
  row->addStretch();
  content()->addStretch();
  content()->addLayout(row);
  content()->addStretch();
  threads_->selectAll();
  finishSettingsLayout(ReturnKey::SaveChanges, threads_);
}

bool SpeedDialog::applyTo(Settings& settings) {
  const auto threads = typedThreadCount(utf8Text(threads_->text()));
  if (!threads) {
    showMessageBox(this, kErrorTitle, kInvalidThreadsMessage);
    return false;
  }
  settings.NumThreads = *threads;
  return true;
}

}  // namespace tallyvane::ui
