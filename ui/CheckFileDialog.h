#pragma once
// "Check URLs": the input file of a normal crawl, typed, picked from the recent files or chosen.

#include "ui/ModalDialog.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QPushButton;

namespace tallyvane::ui {

inline constexpr const char* kCheckFileTitle = "Check URLs";
inline constexpr const char* kInputFileLabel = "Input (plain text file - one url per line, csv or xml sitemap file)";
inline constexpr const char* kChooseInputFileTitle = "Choose Input File";
inline constexpr const char* kEnterInputFileMessage = "Please, enter an input filename";
inline constexpr const char* kInputListHint = "A file, or the http(s) URL of a sitemap, sitemap index or robots.txt";

// The "..." button's open-file dialog; "" when cancelled.
QString chooseInputFile(QWidget* parent);

// The field of an input list: a file, or the URL of a sitemap, sitemap index or robots.txt, with
// the recent input files to pick from.
QComboBox* inputListBox(const std::vector<std::string>& recentFiles, QWidget* parent = nullptr);

// The message refusing an input file name (trimmed already), or nothing.
std::optional<std::string_view> inputFileProblem(const std::string& name);

class CheckFileDialog : public ModalDialog {
  Q_OBJECT

 public:
  CheckFileDialog(const std::vector<std::string>& recentFiles, QWidget* parent);

  // After accept(): the file to check, trimmed of blanks.
  std::string inputFile() const { return inputFile_; }

  QComboBox* fileField() const { return file_; }
  QPushButton* startButton() const { return start_; }

 private:
  void startClicked();

  QComboBox* file_;
  QPushButton* start_;
  std::string inputFile_;
};

}  // namespace tallyvane::ui
