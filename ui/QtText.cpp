#include "ui/QtText.h"

namespace tallyvane::ui {

QString editorText(std::string_view crLfText) {
  QString text = qText(crLfText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace tallyvane::ui
