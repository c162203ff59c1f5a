#include "ui/MappingTestDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include "ui/CheckFileDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// An editable drop-down of recent files, empty at first, with its label and "..." button in one
// row of the grid.
QComboBox* addFileRow(QGridLayout* grid, int row, const QString& label, const std::vector<std::string>& recent,
                      const QString& chooserName, std::function<QString()> choose) {
  auto* field = new QComboBox;
  field->setEditable(true);
  field->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& file : recent) field->addItem(qText(file));
  field->setCurrentIndex(-1);
  field->setEditText({});
  auto* browse = named(new QPushButton(QStringLiteral("...")), chooserName);
  browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 4);
  QObject::connect(browse, &QPushButton::clicked, field, [field, choose] {
    const QString chosen = choose();
    if (!chosen.isEmpty()) field->setEditText(chosen);  // a cancelled chooser changes nothing
  });
  grid->addWidget(labelFor(field, label), row * 2, 0, 1, 2);
  grid->addWidget(field, row * 2 + 1, 0);
  grid->addWidget(browse, row * 2 + 1, 1);
  return field;
}

}  // namespace

MappingTestDialog::MappingTestDialog(const std::vector<std::string>& recentInputFiles,
                                     const std::vector<std::string>& recentMappingFiles, QWidget* mainWindow)
    : ModalDialog(mainWindow, QStringLiteral("Test URL Mapping Redirects"), {670, 225}, "/url-mappings"),
      start_(named(new QPushButton(QStringLiteral("Start Test")), QStringLiteral("Start Test"))) {
  auto* grid = new QGridLayout(this);
  grid->setColumnStretch(0, 1);
  input_ = addFileRow(grid, 0, kInputFileLabel, recentInputFiles, kChooseInputFileTitle,
                      [this] { return chooseInputFile(this); });
  rules_ = addFileRow(grid, 1, QStringLiteral("Mapping Rules File (plain text file - one rule per line)"),
                      recentMappingFiles, QStringLiteral("Choose File With Mapping Rules"), [this] {
                        return QFileDialog::getOpenFileName(this, QStringLiteral("Choose File With Mapping Rules"), {},
                                                            QStringLiteral("Text File (*.txt);;All Files (*)"));
                      });
  auto* cancel = named(new QPushButton(QStringLiteral("Cancel")), QStringLiteral("Cancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(cancel);
  buttons->addStretch();
  grid->setRowStretch(4, 1);
  grid->addLayout(buttons, 5, 0, 1, 2);
  connect(start_, &QPushButton::clicked, this, &MappingTestDialog::startTest);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setReturnButton(start_);
  finishLayout(input_);
}

void MappingTestDialog::startTest() {
  SetupCheck check = checkMappingTest(utf8Text(input_->currentText()), utf8Text(rules_->currentText()));
  if (check.message) {
    // A rules file that could not be loaded, or an input that vanished, ends the dialog.
    showMessageBox(check.dialogCloses ? parentWidget() : this, check.message->title, check.message->text);
    if (check.dialogCloses) reject();
    return;
  }
  setup_ = std::move(check.setup);
  accept();
}

}  // namespace tallyvane::ui
