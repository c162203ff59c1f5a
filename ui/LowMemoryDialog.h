#pragma once
// "Check URLs (Low Memory Mode)": a URL list too large to keep, and the CSV report each checked
// URL is written to straight away, with its kind and filter.

#include "ui/CrawlStartDialog.h"

class QLineEdit;

namespace tallyvane::ui {

inline constexpr const char* kLowMemoryTitle = "Check URLs (Low Memory Mode)";
inline constexpr const char* kProposedReportName = "result.csv";
inline constexpr std::string_view kReplaceReportQuestionStart = "The report file ";
inline constexpr std::string_view kReplaceReportQuestionEnd = " exists already. Replace it?";

// The report proposed for an input: the input's folder (up to its last separator) + "result.csv".
QString proposedReportFile(const QString& input);

class LowMemoryDialog : public CrawlStartDialog {
  Q_OBJECT

 public:
  LowMemoryDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

  QComboBox* inputField() const { return input_; }
  QLineEdit* outputField() const { return output_; }
  QComboBox* reportKindBox() const { return kind_; }
  QComboBox* filterBox() const { return filter_; }

 protected:
  bool confirmStart() override;
  SetupCheck check() override;

 private:
  QComboBox* input_;
  QLineEdit* output_;
  QComboBox* kind_;
  QComboBox* filter_;
};

}  // namespace tallyvane::ui
