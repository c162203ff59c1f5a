#pragma once
// The small window that shows how far a save, load or report got.

#include <QDialog>

#include <cstdint>
#include <string_view>

class QLabel;
class QProgressBar;

namespace tallyvane::ui {

inline constexpr const char* kSavingResultsTitle = "Saving to results file...";
inline constexpr const char* kLoadingResultsTitle = "Loading from results file...";
inline constexpr const char* kSavingReportTitle = "Saving to report file...";

class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  // text: "Saving..." or "Loading..." until the task reports.
  ProgressWindow(const QString& title, const QString& text, QWidget* parent);

  void setProgress(std::string_view text, int64_t done, int64_t total);

  QString text() const;
  int value() const;
  int maximum() const;

 protected:
  // Escape does not hide it: the window lives exactly as long as its task.
  void reject() override {}

 private:
  QLabel* text_;
  QProgressBar* bar_;
};

}  // namespace tallyvane::ui
