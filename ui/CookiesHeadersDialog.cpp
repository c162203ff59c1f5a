#include "ui/CookiesHeadersDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>

#include "config/TypedValues.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

CookiesHeadersDialog::CookiesHeadersDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("Cookies & Custom Headers"), {400, 420},
                     "/http-requests"),
      allowCookies_(new QCheckBox(QStringLiteral("Allow Cookies"))),
      useCustomHeaders_(new QCheckBox(QStringLiteral("Add Custom Headers To Every Request"))),
      customHeaders_(new QPlainTextEdit(editorText(settings.CustomHeaders))) {
  named(allowCookies_, allowCookies_->text());
  named(useCustomHeaders_, useCustomHeaders_->text());
  named(customHeaders_, QStringLiteral("Custom Headers"));
  allowCookies_->setChecked(settings.CookiesDisabled == CookiesChoice::Enabled);
  useCustomHeaders_->setChecked(settings.UseCustomHeaders != 0);
  customHeaders_->setTabChangesFocus(true);

  auto* cookies = new QGroupBox(QStringLiteral("Cookies  "));
  auto* cookiesLayout = new QVBoxLayout(cookies);
  cookiesLayout->addWidget(allowCookies_);
  auto* headers = new QGroupBox(QStringLiteral("Custom Headers"));
  auto* headersLayout = new QVBoxLayout(headers);
  headersLayout->addWidget(useCustomHeaders_);
  headersLayout->addWidget(customHeaders_, 1);
  content()->addWidget(cookies);
  content()->addWidget(headers, 1);
  finishSettingsLayout(ReturnKey::Nothing, allowCookies_);
}

bool CookiesHeadersDialog::applyTo(Settings& settings) {
  // Header lines are sent as typed; they are not checked here.
  settings.CustomHeaders = typedCustomHeaders(utf8Text(customHeaders_->toPlainText()));
  settings.CookiesDisabled = allowCookies_->isChecked() ? CookiesChoice::Enabled : CookiesChoice::Disabled;
  settings.UseCustomHeaders = useCustomHeaders_->isChecked() ? 1 : 0;
  return true;
}

}  // namespace tallyvane::ui
