#include "ui/HeadGetDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "config/TypedValues.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

HeadGetDialog::HeadGetDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("HEAD/GET Method Configuration"), {420, 390},
                     "/request-methods"),
      methods_(new QButtonGroup(this)),
      getDomains_(new QPlainTextEdit(editorText(settings.GETDomains))) {
  const QString options[] = {QStringLiteral("Always Use HEAD Requests"), QStringLiteral("Always Use GET Requests"),
                             QStringLiteral("Use GET Requests Only For The Following Domains")};
  for (int method = 0; method < 3; ++method) {
    auto* option = named(new QRadioButton(options[method]), options[method]);
    methods_->addButton(option, method);
    content()->addWidget(option);
  }
  QAbstractButton* method = methods_->button(static_cast<int>(settings.HeaderRequestMethod));
  (method ? method : methods_->button(0))->setChecked(true);
  // The domains stay editable whichever method is chosen.
  getDomains_->setTabChangesFocus(true);
  content()->addWidget(labelFor(getDomains_, QStringLiteral("Enter one domain per line")));
  content()->addWidget(getDomains_, 1);
  fallback_ = named(new QCheckBox(QStringLiteral("Ask Again With GET When HEAD Is Refused (405, 501)")),
                    QStringLiteral("Ask Again With GET When HEAD Is Refused"));
  fallback_->setChecked(settings.FallbackToGET != 0);
  content()->addWidget(fallback_);
  finishSettingsLayout(ReturnKey::Nothing, methods_->checkedButton());
}

bool HeadGetDialog::applyTo(Settings& settings) {
  settings.HeaderRequestMethod = static_cast<MethodChoice>(methods_->checkedId());
  settings.FallbackToGET = fallback_->isChecked() ? 1 : 0;
  // The GET-domain list itself is built from this text when the next crawl starts.
  settings.GETDomains = typedMultiLineText(utf8Text(getDomains_->toPlainText()));
  return true;
}

}  // namespace tallyvane::ui
