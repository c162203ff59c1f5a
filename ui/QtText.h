#pragma once
// Between the core's UTF-8 strings and Qt's QString.

#include <QString>
#include <string>
#include <string_view>

namespace tallyvane::ui {

inline QString qText(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string utf8Text(const QString& text) { return text.toStdString(); }

// A text whose lines end in CR LF (or a lone CR or LF) as a multi-line editor shows it.
QString editorText(std::string_view crLfText);

}  // namespace tallyvane::ui
