#pragma once
// What every dialog of the application shares: a fixed-size window with a title bar and a close
// button, centred on the screen and modal over the main window; Escape and the close button
// reject it; Return presses the one button a dialog names (only while that button is enabled) and
// does nothing otherwise; the help key opens the dialog's help page and leaves it open.

#include <QDialog>
#include <QLabel>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QPushButton;

namespace tallyvane::ui {

class ModalDialog : public QDialog {
  Q_OBJECT

 public:
  // helpPath: the page under the help site, e.g. "/proxy"; empty for none.
  ModalDialog(QWidget* mainWindow, const QString& title, QSize size, std::string_view helpPath = {});

  // Shows it modal over the whole application; it deletes itself once closed.
  void openModal();

 protected:
  // The button Return clicks; nullptr (the default) makes Return do nothing.
  void setReturnButton(QPushButton* button) { returnButton_ = button; }
  // Fixes the size (the intended one, or what the controls need when that is larger), centres
  // the dialog on its screen and gives `first` the keyboard focus. Call once the controls exist.
  void finishLayout(QWidget* first);

  void keyPressEvent(QKeyEvent* event) override;

 private:
  QSize size_;
  QPushButton* returnButton_ = nullptr;
};

// The accessible name screen readers announce for a control: its visible label, without the
// trailing colon and blanks.
template <typename Control>
Control* named(Control* control, const QString& label) {
  QString name = label.trimmed();
  while (name.endsWith(QLatin1Char(':'))) name.chop(1);
  control->setAccessibleName(name.trimmed());
  return control;
}

// The label of a field; the field is announced by the label's text.
QLabel* labelFor(QWidget* field, const QString& text);

// An editable drop-down of recent files, its text empty.
QComboBox* recentFilesBox(const std::vector<std::string>& recentFiles, QWidget* parent = nullptr);

}  // namespace tallyvane::ui
