#include "ui/ProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

#include "ui/QtText.h"

namespace tallyvane::ui {
namespace {

// A progress bar counts in ints; a count beyond that is shown scaled.
int barUnits(int64_t value, int64_t total) {
  constexpr int64_t kLimit = std::numeric_limits<int>::max();
  return static_cast<int>(total <= kLimit ? value : value / (total / kLimit + 1));
}

}  // namespace

ProgressWindow::ProgressWindow(const QString& title, const QString& text, QWidget* parent) : QDialog(parent) {
  setWindowTitle(title);
  setAccessibleName(title);
  // The task cannot be cancelled from here: the window closes itself when the task ends.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setMinimumSize(400, 100);
  // No accessible name: a screen reader then reads the text itself, which changes.
  text_ = new QLabel(text, this);
  text_->setAccessibleDescription("Progress Text");
  bar_ = new QProgressBar(this);
  bar_->setAccessibleName("Progress");
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
}

void ProgressWindow::setProgress(std::string_view text, int64_t done, int64_t total) {
  text_->setText(qText(text));
  bar_->setRange(0, std::max(1, barUnits(total, total)));
  bar_->setValue(barUnits(std::min(done, total), total));
}

QString ProgressWindow::text() const { return text_->text(); }
int ProgressWindow::value() const { return bar_->value(); }
int ProgressWindow::maximum() const { return bar_->maximum(); }

}  // namespace tallyvane::ui
