#include "ui/UrlCheckingOptionsDialog.h"

#include <QCheckBox>

namespace tallyvane::ui {

UrlCheckingOptionsDialog::UrlCheckingOptionsDialog(Settings& settings, const SettingsLocation& location,
                                                   QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("URL Checking Options"), {400, 150}, {}),
      checkLinks_(new QCheckBox(QStringLiteral("Check All Links Found in HTTP Headers"))) {
  named(checkLinks_, checkLinks_->text());
  checkLinks_->setChecked(settings.CheckLinksInHeaders != 0);
  content()->addStretch();
  content()->addWidget(checkLinks_);
  content()->addStretch();
  finishSettingsLayout(ReturnKey::SaveChanges, checkLinks_);
}

bool UrlCheckingOptionsDialog::applyTo(Settings& settings) {
  settings.CheckLinksInHeaders = checkLinks_->isChecked() ? 1 : 0;
  return true;
}

}  // namespace tallyvane::ui
