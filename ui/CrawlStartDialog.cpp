#include "ui/CrawlStartDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/MessageBoxes.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

CrawlStartDialog::CrawlStartDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow,
                                   const QString& title, QSize size, const QString& startText,
                                   std::string_view helpPath)
    : ModalDialog(mainWindow, title, size, helpPath),
      settings_(settings),
      location_(location),
      start_(named(new QPushButton(startText), startText)) {
  start_->setMinimumWidth(100);
  connect(start_, &QPushButton::clicked, this, &CrawlStartDialog::startClicked);
}

QPushButton* CrawlStartDialog::addFileRow(QGridLayout* grid, int row, const QString& label, QWidget* field,
                                          const QString& chooserTitle, std::function<QString()> choose,
                                          std::function<void(const QString&)> chosen) {
  grid->addWidget(labelFor(field, label), row, 0, 1, 2);
  grid->addWidget(field, row + 1, 0);
  auto* browse = named(new QPushButton(QStringLiteral("...")), chooserTitle);
  browse->setFixedWidth(40);
  grid->addWidget(browse, row + 1, 1);
  connect(browse, &QPushButton::clicked, this, [choose = std::move(choose), chosen = std::move(chosen)] {
    const QString file = choose();
    if (!file.isEmpty()) chosen(file);
  });
  return browse;
}

void CrawlStartDialog::finishStartLayout(QGridLayout* content, QWidget* first) {
  auto* cancel = named(new QPushButton(QStringLiteral("Cancel")), QStringLiteral("Cancel"));
  cancel->setMinimumWidth(100);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(cancel);
  buttons->addStretch();
  content->setColumnStretch(0, 1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 15, 15, 15);
  page->addLayout(content);
  page->addStretch(1);
  page->addSpacing(10);
  page->addLayout(buttons);
  setReturnButton(start_);
  finishLayout(first);
}

void CrawlStartDialog::rememberFiles(Settings& settings) const {
  addRecentFile(settings.recentInputFiles, setup_.inputFile);
}

void CrawlStartDialog::startClicked() {
  if (!confirmStart()) return;
  SetupCheck checked = check();
  if (checked.message) {
    // A failure that closes the dialog is shown over the main window, which outlives it.
    QWidget* over = checked.dialogCloses ? parentWidget() : this;
    showMessageBox(over, checked.message->title, checked.message->text);
    if (checked.dialogCloses) reject();
    return;
  }
  setup_ = std::move(checked.setup);
  rememberFiles(settings_);
  if (const auto failed = saveSettings(settings_, location_)) {
    showMessageBox(parentWidget(), failed->title, failed->text);
  }
  accept();
}

}  // namespace tallyvane::ui
