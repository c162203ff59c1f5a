#include "ui/ProxyDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>

#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// A frame of labelled fields, one row each; labels as wide as the widest of both frames, so the
// fields line up.
QGroupBox* frameOf(const QString& title, std::initializer_list<std::pair<QString, QLineEdit*>> rows) {
  auto* frame = new QGroupBox(title);
  auto* form = new QFormLayout(frame);
  form->setContentsMargins(30, 10, 20, 10);
  const int labelWidth = frame->fontMetrics().horizontalAdvance(QStringLiteral("Password:")) + 12;
  for (const auto& [text, field] : rows) {
    QLabel* label = labelFor(field, text);
    label->setMinimumWidth(labelWidth);
    form->addRow(label, field);
  }
  return frame;
}

}  // namespace

ProxyDialog::ProxyDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("Proxy Settings"), {370, 330}, "/proxy"),
      useProxy_(new QCheckBox(QStringLiteral("Use Proxy Settings"))),
      address_(new QLineEdit(qText(settings.Addr))),
      port_(new QLineEdit(qText(settings.Port))),
      user_(new QLineEdit(qText(settings.User))),
      password_(new QLineEdit(qText(settings.Password))) {
  named(useProxy_, useProxy_->text());
  useProxy_->setChecked(settings.UseProxy != 0);
  password_->setEchoMode(QLineEdit::Password);
  // The fields stay editable whether or not the proxy is in use.
  content()->addWidget(useProxy_);
  content()->addWidget(
      frameOf(QStringLiteral("Proxy"), {{QStringLiteral("Address:"), address_}, {QStringLiteral("Port:"), port_}}));
  content()->addWidget(frameOf(QStringLiteral("Authentication"),
                               {{QStringLiteral("User:"), user_}, {QStringLiteral("Password:"), password_}}));
  content()->addStretch();
  finishSettingsLayout(ReturnKey::SaveChanges, useProxy_);
}

bool ProxyDialog::applyTo(Settings& settings) {
  // Stored exactly as typed: neither trimmed nor checked.
  settings.UseProxy = useProxy_->isChecked() ? 1 : 0;
  settings.Addr = utf8Text(address_->text());
  settings.Port = utf8Text(port_->text());
  settings.User = utf8Text(user_->text());
  settings.Password = utf8Text(password_->text());
  return true;
}

}  // namespace tallyvane::ui
