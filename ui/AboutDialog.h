#pragma once
// "About...": the program's name, version and build date.

#include <QString>

#include "ui/ModalDialog.h"

class QPlainTextEdit;
class QPushButton;

namespace tallyvane::ui {

inline constexpr std::string_view kProgramVersion = "1.07";
inline constexpr std::string_view kBuildDate = "24 Apr 2016";

// Four empty lines, then the name with the version and the build date indented by 34 blanks,
// then three empty lines; lines end in CR LF.
std::string aboutText();

class AboutDialog : public ModalDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* mainWindow);

  QPushButton* okButton() const { return ok_; }
  QString shownText() const;

 private:
  QPlainTextEdit* text_;
  QPushButton* ok_;
};

}  // namespace tallyvane::ui
