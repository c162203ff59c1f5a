#include "ui/CheckFileDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>


#include "base/Message.h"
#include "base/Text.h"
#include "input/UrlInput.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

QString chooseInputFile(QWidget* parent) {
  return chooseFileToOpen(parent, kChooseInputFileTitle,
                          "Text File (*.txt *.csv *.xml *.xml.gz);;All Files (*)");
}

QComboBox* inputListBox(const std::vector<std::string>& recentFiles, QWidget* parent) {
  QComboBox* box = recentFilesBox(recentFiles, parent);
  box->lineEdit()->setPlaceholderText(kInputListHint);
  return box;
}

std::optional<std::string_view> inputFileProblem(const std::string& name) {
  if (name.empty()) return kEnterInputFileMessage;
  if (!inputExists(name)) return kInputFileMissingMessage;
  return std::nullopt;
}

CheckFileDialog::CheckFileDialog(const std::vector<std::string>& recentFiles, QWidget* mainWindow)
    : ModalDialog(mainWindow, kCheckFileTitle, {670, 150}) {
  setAccessibleName(kCheckFileTitle);
  file_ = inputListBox(recentFiles, this);
  QLabel* label = labelFor(file_, kInputFileLabel);
  auto* browse = new QPushButton("...", this);
  browse->setAccessibleName(kChooseInputFileTitle);
  browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance("...") * 4);
  start_ = new QPushButton("Start", this);
  auto* cancel = new QPushButton("Cancel", this);

  auto* layout = new QGridLayout(this);
  layout->addWidget(label, 0, 0, 1, 2);
  layout->addWidget(file_, 1, 0);
  layout->addWidget(browse, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(cancel);
  layout->setRowStretch(2, 1);
  layout->addLayout(buttons, 3, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  file_->setMinimumWidth(590);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = chooseInputFile(this);
    if (!chosen.isEmpty()) file_->setEditText(chosen);
  });
  connect(start_, &QPushButton::clicked, this, &CheckFileDialog::startClicked);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setReturnButton(start_);
  finishLayout(file_);
}

void CheckFileDialog::startClicked() {
  const std::string name(trimBlanks(utf8Text(file_->currentText())));
  if (const auto refused = inputFileProblem(name)) return showMessageBox(this, kErrorTitle, *refused);
  inputFile_ = name;
  accept();
}

}  // namespace tallyvane::ui
