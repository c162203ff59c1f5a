#include "ui/CanonicalTestDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/CheckFileDialog.h"
#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// The four forms written out on a placeholder domain, in the order of their values.
constexpr std::array<const char*, 4> kFormTexts = {"https://example.com/", "https://www.example.com/",
                                                   "http://example.com/", "http://www.example.com/"};

template <typename Control>
Control* namedControl(const char* text) {
  return named(new Control(qText(text)), qText(text));
}

// A frame of options of which one at most is chosen.
QGroupBox* optionFrame(const char* title, std::initializer_list<QRadioButton*> options) {
  auto* frame = new QGroupBox(qText(title));
  auto* layout = new QVBoxLayout(frame);
  auto* group = new QButtonGroup(frame);
  for (QRadioButton* option : options) {
    group->addButton(option);
    layout->addWidget(option);
  }
  return frame;
}

}  // namespace

CanonicalTestDialog::CanonicalTestDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow)
    : CrawlStartDialog(settings, location, mainWindow, kCanonicalTestTitle, {670, 425}, QStringLiteral("Start Test"),
                       "/canonical-test"),
      input_(inputListBox(settings.recentInputFiles)),
      allVariants_(namedControl<QRadioButton>("Generate and Test ALL URL Variants For Every Input Link")),
      onlyInput_(namedControl<QRadioButton>("Test Only The Input URLs")),
      cookies_(namedControl<QCheckBox>("Test for non-secure cookies")),
      hsts_(namedControl<QCheckBox>("Test for proper HSTS headers")) {
  for (size_t form = 0; form < forms_.size(); ++form) forms_[form] = namedControl<QRadioButton>(kFormTexts[form]);
  allVariants_->setChecked(true);

  auto* grid = new QGridLayout;
  addFileRow(
      grid, 0, kInputFileLabel, input_, kChooseInputFileTitle, [this] { return chooseInputFile(this); },
      [this](const QString& file) { input_->setEditText(file); });
  grid->setRowMinimumHeight(2, 8);
  grid->addWidget(
      optionFrame("What is the canonical URL form to test for?", {forms_[0], forms_[1], forms_[2], forms_[3]}), 3, 0,
      1, 2);
  grid->addWidget(optionFrame("Which URL Variants To Test?", {allVariants_, onlyInput_}), 4, 0, 1, 2);
  grid->addWidget(cookies_, 5, 0, 1, 2);
  grid->addWidget(hsts_, 6, 0, 1, 2);
  finishStartLayout(grid, input_);
}

SetupCheck CanonicalTestDialog::check() {
  std::optional<CanonicalForm> form;
  for (size_t i = 0; i < forms_.size(); ++i) {
    if (forms_[i]->isChecked()) form = static_cast<CanonicalForm>(i);
  }
  return checkCanonicalTest(form, utf8Text(input_->currentText()), !allVariants_->isChecked(), cookies_->isChecked(),
                            hsts_->isChecked());
}

}  // namespace tallyvane::ui
