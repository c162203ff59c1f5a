#include "ui/LowMemoryDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include <filesystem>

#include "base/Text.h"
#include "results/Filters.h"
#include "ui/FilterBox.h"
#include "ui/MessageBoxes.h"
#include "ui/CheckFileDialog.h"
#include "ui/FileDialogs.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

constexpr const char* kInputLabel = "Input (plain text file - one url per line, csv or xml sitemap file/url)";
constexpr const char* kChooseOutputTitle = "Choose Output File";
constexpr std::array<const char*, 4> kReportKindNames = {"Standard Report", "Redirect Details", "Link Headers",
                                                         "Raw Headers"};

}  // namespace

QString proposedReportFile(const QString& input) {
  return input.left(input.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1String(kProposedReportName);
}

LowMemoryDialog::LowMemoryDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : CrawlStartDialog(settings, location, mainWindow, kLowMemoryTitle, {670, 330}, QStringLiteral("Start"),
                       "/low-memory-mode"),
      input_(inputListBox(settings.recentInputFiles)),
      output_(new QLineEdit),
      kind_(new QComboBox),
      filter_(new QComboBox) {
  for (const char* name : kReportKindNames) kind_->addItem(qText(name));
  offerFilters(filter_, false);  // a low-memory crawl is never a test

  auto* grid = new QGridLayout;
  addFileRow(
      grid, 0, kInputLabel, input_, kChooseInputFileTitle, [this] { return chooseInputFile(this); },
      [this](const QString& file) { input_->setEditText(file); });
  grid->setRowMinimumHeight(2, 8);
  addFileRow(
      grid, 3, QStringLiteral("Output (csv file)"), output_, kChooseOutputTitle,
      [this] {
        return chooseFileToSave(this, kChooseOutputTitle,
                                QStringLiteral("Comma Separated Values File (*.csv);;All Files (*)"), output_->text());
      },
      [this](const QString& file) { output_->setText(file); });
  grid->setRowMinimumHeight(5, 8);
  grid->addWidget(labelFor(kind_, QStringLiteral("Choose Report Output Type")), 6, 0, 1, 2);
  grid->addWidget(kind_, 7, 0);
  grid->setRowMinimumHeight(8, 8);
  grid->addWidget(labelFor(filter_, QStringLiteral("Apply Filter")), 9, 0, 1, 2);
  grid->addWidget(filter_, 10, 0);
  // Typing, picking a recent file or choosing one with "..." all change the text.
  connect(input_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
    if (!text.isEmpty()) output_->setText(proposedReportFile(text));
  });
  finishStartLayout(grid, input_);
}

bool LowMemoryDialog::confirmStart() {
  // Starting empties the report file at once: an earlier report is only replaced when wanted.
  const std::string output(trimBlanks(utf8Text(output_->text())));
  std::error_code ignored;
  if (output.empty() || !std::filesystem::is_regular_file(output, ignored)) return true;
  return askYesNo(this, "", std::string(kReplaceReportQuestionStart) + output + std::string(kReplaceReportQuestionEnd));
}

SetupCheck LowMemoryDialog::check() {
  return checkLowMemoryCheck(utf8Text(input_->currentText()), utf8Text(output_->text()),
                             static_cast<ReportKind>(kind_->currentIndex()), chosenFilter(filter_),
                             settings().slowPageThresholdMs);
}

}  // namespace tallyvane::ui
