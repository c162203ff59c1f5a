#pragma once
// "Check URLs (Enter URLs Manually)": URLs typed or pasted, one a line.

#include "ui/ModalDialog.h"

#include <string>

class QPlainTextEdit;
class QPushButton;

namespace tallyvane::ui {

inline constexpr const char* kManualEntryTitle = "Check URLs (Enter URLs Manually)";
inline constexpr const char* kManualEntryLabel = "Enter or paste URLs (1 URL per line)";

class ManualEntryDialog : public ModalDialog {
  Q_OBJECT

 public:
  explicit ManualEntryDialog(QWidget* mainWindow);

  // After accept(): the text with CR LF line breaks, as the crawl reads it.
  std::string manualText() const;

  QPlainTextEdit* textArea() const { return text_; }
  QPushButton* startButton() const { return start_; }

 private:
  QPlainTextEdit* text_;
  QPushButton* start_;
};

}  // namespace tallyvane::ui
