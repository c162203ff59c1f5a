#include "ui/MappingTestDialog.h"

#include <QComboBox>
#include <QGridLayout>

#include "base/Text.h"
#include "ui/CheckFileDialog.h"
#include "ui/FileDialogs.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

MappingTestDialog::MappingTestDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : CrawlStartDialog(settings, location, mainWindow, kMappingTestTitle, {670, 225}, QStringLiteral("Start Test"),
                       "/url-mappings"),
      input_(inputListBox(settings.recentInputFiles)),
      rules_(recentFilesBox(settings.recentMappingFiles)) {
  auto* grid = new QGridLayout;
  addFileRow(
      grid, 0, kInputFileLabel, input_, kChooseInputFileTitle, [this] { return chooseInputFile(this); },
      [this](const QString& file) { input_->setEditText(file); });
  grid->setRowMinimumHeight(2, 12);
  addFileRow(
      grid, 3, kRulesFileLabel, rules_, QStringLiteral("Choose File With Mapping Rules"),
      [this] {
        return chooseFileToOpen(this, QStringLiteral("Choose File With Mapping Rules"),
                                QStringLiteral("Text File (*.txt);;All Files (*)"));
      },
      [this](const QString& file) { rules_->setEditText(file); });
  finishStartLayout(grid, input_);
}

SetupCheck MappingTestDialog::check() {
  const std::string rules = utf8Text(rules_->currentText());
  rulesFile_ = std::string(trimBlanks(rules));
  return checkMappingTest(utf8Text(input_->currentText()), rules);
}

void MappingTestDialog::rememberFiles(Settings& settings) const {
  CrawlStartDialog::rememberFiles(settings);
  addRecentFile(settings.recentMappingFiles, rulesFile_);
}

}  // namespace tallyvane::ui
