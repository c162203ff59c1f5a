#include "ui/MessageBox.h"

#include <QMessageBox>

#include "base/Message.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

void showMessageBox(QWidget* parent, std::string_view title, std::string_view text) {
  QMessageBox box(title == kErrorTitle ? QMessageBox::Warning : QMessageBox::Information, qText(title), qText(text),
                  QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace tallyvane::ui
