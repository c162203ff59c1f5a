#pragma once
// What the dialogs that start a test or a low-memory crawl share: editable file fields with their
// "..." choosers, the start and "Cancel" buttons, and the start itself. The checks and messages
// are the core's (the CLI makes the same ones); a passed check remembers the files among the
// recent ones, writes the settings and accepts the dialog, whose setup() the main window starts.
//
// Main thread only.

#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CrawlSetup.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "ui/ModalDialog.h"

class QComboBox;
class QGridLayout;
class QPushButton;

namespace tallyvane::ui {

class CrawlStartDialog : public ModalDialog {
  Q_OBJECT

 public:
  // After accept(): what to start.
  const CrawlSetup& setup() const { return setup_; }
  QPushButton* startButton() const { return start_; }

 protected:
  CrawlStartDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow, const QString& title,
                   QSize size, const QString& startText, std::string_view helpPath = {});

  // Asked before the checks, which may already create files; false keeps the dialog open.
  virtual bool confirmStart() { return true; }
  // The dialog's checks, in their order, through the core.
  virtual SetupCheck check() = 0;
  // Puts the files of a passed check first in the recent lists.
  virtual void rememberFiles(Settings& settings) const;

  // Adds a label on one row and below it the field with a "..." button, which offers choose()'s
  // file to chosen(); a cancelled chooser changes nothing. Returns the button.
  QPushButton* addFileRow(QGridLayout* grid, int row, const QString& label, QWidget* field,
                          const QString& chooserTitle, std::function<QString()> choose,
                          std::function<void(const QString&)> chosen);
  // The start and "Cancel" buttons below the content; Return starts; `first` gets the focus.
  void finishStartLayout(QGridLayout* content, QWidget* first);

  Settings& settings() { return settings_; }

 private:
  void startClicked();

  Settings& settings_;
  SettingsLocation location_;
  QPushButton* start_;
  CrawlSetup setup_;
};

}  // namespace tallyvane::ui
