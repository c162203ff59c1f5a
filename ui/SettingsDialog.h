#pragma once
// A dialog that edits the settings record: its controls hold copies of the values until "Save
// Changes" copies them into the record and writes the settings file. "Cancel", Escape and the
// close button change nothing.

#include <QVBoxLayout>
#include <string_view>

#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "ui/ModalDialog.h"

class QPushButton;

namespace tallyvane::ui {

inline constexpr std::string_view kSaveChangesText = "Save Changes";
inline constexpr std::string_view kCancelText = "Cancel";

class SettingsDialog : public ModalDialog {
  Q_OBJECT

 public:
  // What Return does in this dialog.
  enum class ReturnKey { SaveChanges, Cancel, Nothing };

  // Opened and closed on the main thread while no crawl runs.
  SettingsDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow, const QString& title,
                 QSize size, std::string_view helpPath);

  QPushButton* saveButton() const { return saveButton_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 protected:
  // The dialog's own controls go here, above the two buttons.
  QVBoxLayout* content() const { return content_; }
  // Adds the buttons below the content; `first` gets the keyboard focus.
  void finishSettingsLayout(ReturnKey returnKey, QWidget* first);
  // Copies the controls' values into the record. Returns false, having said why and changed
  // nothing, when they are not valid; the dialog then stays open.
  virtual bool applyTo(Settings& settings) = 0;

  const Settings& settings() const { return settings_; }

 private:
  void saveChanges();

  Settings& settings_;
  SettingsLocation location_;
  QVBoxLayout* content_;
  QPushButton* saveButton_;
  QPushButton* cancelButton_;
};

}  // namespace tallyvane::ui
