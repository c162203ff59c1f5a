#include "ui/AboutDialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/QtText.h"

namespace tallyvane::ui {

std::string aboutText() {
  const std::string pad(34, ' ');
  return "\r\n\r\n\r\n\r\n" + pad + "Tallyvane " + std::string(kProgramVersion) + "\r\n" + pad +
         "Build Date: " + std::string(kBuildDate) + "\r\n" + "\r\n\r\n\r\n";
}

AboutDialog::AboutDialog(QWidget* mainWindow)
    : ModalDialog(mainWindow, QStringLiteral("About..."), {400, 400}),
      text_(new QPlainTextEdit(editorText(aboutText()))),
      ok_(new QPushButton(QStringLiteral("OK"))) {
  named(text_, QStringLiteral("About Tallyvane"));
  named(ok_, ok_->text());
  text_->setReadOnly(true);
  text_->setTabChangesFocus(true);
  ok_->setMinimumWidth(100);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addStretch();
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 8);
  page->addWidget(text_, 1);
  page->addLayout(buttons);
  setReturnButton(ok_);
  finishLayout(ok_);
}

QString AboutDialog::shownText() const { return text_->toPlainText(); }

}  // namespace tallyvane::ui
