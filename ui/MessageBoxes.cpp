#include "ui/MessageBoxes.h"

#include <QMessageBox>
#include <memory>

#include "base/Message.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

QMessageBox::Icon iconFor(std::string_view title) {
  if (title == kErrorTitle || title == "Fatal Error" || title == "Fatal") return QMessageBox::Critical;
  return title.empty() ? QMessageBox::Question : QMessageBox::Information;
}

QMessageBox* newMessageBox(QWidget* parent, std::string_view title, std::string_view text) {
  // Core texts may break their lines with CR, which a label would not show as a break.
  auto* box = new QMessageBox(iconFor(title), qText(title), editorText(text), QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  return box;
}

}  // namespace

void showMessageBox(QWidget* parent, std::string_view title, std::string_view text) {
  QMessageBox* box = newMessageBox(parent, title, text);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void showMessageBoxAndWait(QWidget* parent, std::string_view title, std::string_view text) {
  std::unique_ptr<QMessageBox> box(newMessageBox(parent, title, text));
  box->exec();
}

bool askYesNo(QWidget* parent, std::string_view title, std::string_view text) {
  QMessageBox box(QMessageBox::Question, qText(title), editorText(text), QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace tallyvane::ui
