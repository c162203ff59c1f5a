#include "ui/TlsHostsDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/ConnectionSettings.h"
#include "base/Message.h"
#include "config/TypedValues.h"
#include "ui/MessageBoxes.h"
#include "ui/FileDialogs.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

constexpr const char* kChooseCaBundleTitle = "Choose Certificate Authorities File";

}  // namespace

TlsHostsDialog::TlsHostsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, kTlsHostsTitle, {520, 400}, "/tls-and-hosts"),
      caBundle_(new QLineEdit(qText(settings.CABundle))),
      hosts_(new QPlainTextEdit(editorText(settings.ResolveHosts))) {
  caBundle_->setPlaceholderText(QStringLiteral("the system's certificate authorities"));
  hosts_->setTabChangesFocus(true);
  hosts_->setPlaceholderText(QStringLiteral("staging.example.com:443:10.0.0.5"));

  auto* tls = new QGroupBox(QStringLiteral("Certificate Authorities"));
  auto* tlsLayout = new QVBoxLayout(tls);
  tlsLayout->addWidget(labelFor(caBundle_, QStringLiteral("PEM file of the authorities to trust (empty: the system's)")));
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(caBundle_, 1);
  auto* browse = named(new QPushButton(QStringLiteral("...")), kChooseCaBundleTitle);
  browse->setFixedWidth(40);
  fileRow->addWidget(browse);
  tlsLayout->addLayout(fileRow);

  auto* hostsBox = new QGroupBox(QStringLiteral("Host Overrides"));
  auto* hostsLayout = new QVBoxLayout(hostsBox);
  hostsLayout->addWidget(labelFor(hosts_, QStringLiteral("One HOST:PORT:ADDRESS a line: connect there, the host name unchanged")));
  hostsLayout->addWidget(hosts_, 1);

  content()->addWidget(tls);
  content()->addWidget(hostsBox, 1);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = chooseFileToOpen(this, kChooseCaBundleTitle,
                                            QStringLiteral("PEM Files (*.pem *.crt);;All Files (*)"), caBundle_->text());
    if (!chosen.isEmpty()) caBundle_->setText(chosen);
  });
  finishSettingsLayout(ReturnKey::Nothing, caBundle_);
}

bool TlsHostsDialog::applyTo(Settings& settings) {
  const std::string caBundle = utf8Text(caBundle_->text().trimmed());
  const std::string hosts = typedMultiLineText(utf8Text(hosts_->toPlainText()));
  if (const auto problem = connectionSettingsProblem(caBundle, hosts)) {
    showMessageBox(this, kErrorTitle, *problem);
    return false;
  }
  settings.CABundle = caBundle;
  settings.ResolveHosts = hosts;
  return true;
}

}  // namespace tallyvane::ui
