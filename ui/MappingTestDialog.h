#pragma once
// "Test URL Mapping Redirects": the URL list and the rules file of a site migration's test.

#include "ui/CrawlStartDialog.h"

namespace tallyvane::ui {

inline constexpr const char* kMappingTestTitle = "Test URL Mapping Redirects";
inline constexpr const char* kRulesFileLabel = "Mapping Rules File (plain text file - one rule per line)";

class MappingTestDialog : public CrawlStartDialog {
  Q_OBJECT

 public:
  MappingTestDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

  QComboBox* inputField() const { return input_; }
  QComboBox* rulesField() const { return rules_; }

 protected:
  SetupCheck check() override;
  void rememberFiles(Settings& settings) const override;

 private:
  QComboBox* input_;
  QComboBox* rules_;
  std::string rulesFile_;
};

}  // namespace tallyvane::ui
