#pragma once
// "Test URL Mapping Redirects": the input list and the mapping rules file of a mapping test, typed,
// picked from the recent files or chosen. Its checks are the core's (checkMappingTest).

#include <string>
#include <vector>

#include "app/CrawlSetup.h"
#include "ui/ModalDialog.h"

class QComboBox;
class QPushButton;

namespace tallyvane::ui {

class MappingTestDialog : public ModalDialog {
  Q_OBJECT

 public:
  MappingTestDialog(const std::vector<std::string>& recentInputFiles,
                    const std::vector<std::string>& recentMappingFiles, QWidget* mainWindow);

  // After accept(): the test to start.
  const CrawlSetup& setup() const { return setup_; }

  QComboBox* inputField() const { return input_; }
  QComboBox* rulesField() const { return rules_; }
  QPushButton* startButton() const { return start_; }

 private:
  void startTest();

  QComboBox* input_;
  QComboBox* rules_;
  QPushButton* start_;
  CrawlSetup setup_;
};

}  // namespace tallyvane::ui
