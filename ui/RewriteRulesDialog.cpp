#include "ui/RewriteRulesDialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QPlainTextEdit>

#include "config/TypedValues.h"
#include "input/RewriteRulesHelp.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

RewriteRulesDialog::RewriteRulesDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : SettingsDialog(settings, location, mainWindow, QStringLiteral("Rewrite Rules Configuration"), {800, 520},
                     "/url-rewriting"),
      rewrite_(new QCheckBox(QStringLiteral("Rewrite URLs Before Checking Them"))),
      rules_(new QPlainTextEdit(editorText(settings.Rules.empty() ? rewriteRulesHelpComment() : settings.Rules))) {
  named(rewrite_, rewrite_->text());
  named(rules_, QStringLiteral("Rewrite Rules"));
  rewrite_->setChecked(settings.RewriteURLs == 1);
  rules_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  rules_->setLineWrapMode(QPlainTextEdit::NoWrap);
  rules_->setTabChangesFocus(true);
  content()->addWidget(rewrite_);
  content()->addWidget(rules_, 1);
  finishSettingsLayout(ReturnKey::Nothing, rewrite_);
}

bool RewriteRulesDialog::applyTo(Settings& settings) {
  // An unchanged help comment is stored too: being all comments, it sets no rule.
  settings.Rules = typedMultiLineText(utf8Text(rules_->toPlainText()));
  settings.RewriteURLs = rewrite_->isChecked() ? 1 : 0;
  return true;
}

}  // namespace tallyvane::ui
