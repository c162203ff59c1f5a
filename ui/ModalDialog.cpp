#include "ui/ModalDialog.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include "base/HelpSite.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

ModalDialog::ModalDialog(QWidget* mainWindow, const QString& title, QSize size, std::string_view helpPath)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      size_(size) {
  setWindowTitle(title);
  setWindowModality(Qt::ApplicationModal);
  if (!helpPath.empty()) {
    const QUrl page(qText(helpPageUrl(helpPath)));
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [page] { QDesktopServices::openUrl(page); });
  }
}

void ModalDialog::openModal() {
  setAttribute(Qt::WA_DeleteOnClose);
  show();
}

void ModalDialog::finishLayout(QWidget* first) {
  // Return is handled here alone: no button may take it as its own.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  setFixedSize(size_.expandedTo(minimumSizeHint()));
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (screen) move(screen->availableGeometry().center() - rect().center());
  if (first) first->setFocus(Qt::OtherFocusReason);
}

void ModalDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
      if (returnButton_ && returnButton_->isEnabled()) returnButton_->click();
    }
    return;
  }
  QDialog::keyPressEvent(event);
}

QLabel* labelFor(QWidget* field, const QString& text) {
  auto* label = new QLabel(text);
  label->setBuddy(field);
  named(field, text);
  return label;
}

QComboBox* recentFilesBox(const std::vector<std::string>& recentFiles, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& recent : recentFiles) box->addItem(qText(recent));
  box->setCurrentIndex(-1);
  box->setEditText({});
  return box;
}

}  // namespace tallyvane::ui
