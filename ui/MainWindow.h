#pragma once
// The program's only permanent window: menus, the filter and the "Abort" and "Clear" buttons, the
// result list above the detail panel, and the five-field status bar. It owns the session's core
// objects (store, view, input, crawl, file task) and starts every crawl and file task.
//
// Main thread only, except through its QtUserInterface, which any thread may call.

#include <QMainWindow>
#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/Crawl.h"
#include "app/FileTask.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "engine/RunningFlag.h"
#include "input/UrlInput.h"
#include "results/CsvReport.h"
#include "results/ResultStore.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"
#include "ui/MainMenus.h"
#include "ui/QtUserInterface.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;

namespace tallyvane::ui {

class DetailPanel;
class ProgressWindow;
class ResultTableModel;

inline constexpr const char* kProgramTitle = "Tallyvane";
inline constexpr const char* kExitQuestion =
    "There's a crawl in progress and the results are not saved. Are you sure you want to exit?";
inline constexpr const char* kNotAvailableMessage = "This window is not available yet.";
inline constexpr int kListTimerMs = 250;
inline constexpr std::chrono::milliseconds kQuitWaitForCrawl{1000};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(const CurlApi& curl, Settings& settings, SettingsLocation settingsLocation, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Every crawl starts here: clears the results, prepares the list for the test mode, makes the
  // window busy and starts the controller. The request's thread count comes from the settings.
  void startCrawl(CrawlRequest request);
  void startClipboardCheck();
  // Opens the window of a menu item.
  void openDialog(DialogId dialog);

  // The file tasks, once their file is chosen.
  void saveResultsTo(const std::filesystem::path& path);
  void loadResultsFrom(const std::filesystem::path& path);
  void writeReportTo(ReportKind kind, const std::filesystem::path& path);

  // The quit sequence: asks during a crawl (false on No), stops and waits for what runs, keeps the
  // column widths and saves the settings.
  bool requestExit();
  // A crawl still draining after the quit's wait: libcurl must then not be cleaned up.
  bool crawlStillActive() const { return crawl_.isActive(); }

  // Rows were added (any thread); the list shows them on its next tick.
  void resultsAdded() { reloadPending_ = true; }
  // The list timer's tick: shows the rows added since the last one.
  void refreshList();

  // The main-thread side of the port.
  void showMessage(std::string_view title, std::string_view text);
  void setStatusText(int field, std::string_view text);
  void setCrawlBusy(bool busy);
  void showTaskProgress(std::string_view text, int64_t done, int64_t total);

  Settings& settings() { return settings_; }
  const SettingsLocation& settingsLocation() const { return settingsLocation_; }
  UserInterface& port() { return port_; }
  Crawl& crawl() { return crawl_; }
  ResultStore& resultStore() { return store_; }
  int testMode() const { return testMode_; }

  // The controls, for the dialogs that work with them and for tests.
  MainMenus& menus() { return *menus_; }
  QTableView* resultList() const { return list_; }
  ResultTableModel* resultModel() const { return model_; }
  DetailPanel* detailPanel() const { return details_; }
  QComboBox* filterBox() const { return filter_; }
  QPushButton* abortButton() const { return abort_; }
  QPushButton* clearButton() const { return clear_; }
  QSplitter* splitter() const { return splitter_; }
  QLabel* statusField(int field) const { return status_[static_cast<size_t>(field)]; }
  ProgressWindow* progressWindow() const { return progress_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void buildControls();
  void connectMenus();
  void setListMode(int mode);
  void captureColumnWidths();
  void clearResults();
  void resetSortIndicator();
  void refreshFilteredText();
  void filterChanged(int filter);
  void columnClicked(int section);
  void sortInstalled();
  // The record of the selected row, in the result views only.
  const ResultRecord* selectedRecord() const;
  void showResultDetails();
  void showResultListMenu(const QPoint& position);
  void openCheckFileDialog();
  void openManualEntryDialog();
  void chooseAndSaveResults();
  void chooseAndLoadResults();
  void chooseAndWriteReport(ReportKind kind);
  void runFileTask(const char* title, const char* text, FileWork work);
  void fileTaskEnded();
  // A settings dialog over this window's settings record and file.
  template <typename Dialog>
  void openSettingsDialog();
  void showNotAvailable(const QString& title);

  Settings& settings_;
  SettingsLocation settingsLocation_;
  ResultStore store_;
  ResultView view_;
  UrlInput input_;
  RunningFlag running_;
  QtUserInterface port_;
  Crawl crawl_;
  FileTask fileTask_;

  int testMode_ = kTestModeNone;
  bool crawlBusy_ = false;
  bool exitConfirmed_ = false;
  std::atomic<bool> reloadPending_{false};
  std::optional<LoadOutcome> loaded_;  // set by a load task, read when it has ended

  std::unique_ptr<MainMenus> menus_;
  QComboBox* filter_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* clear_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QTableView* list_ = nullptr;
  ResultTableModel* model_ = nullptr;
  DetailPanel* details_ = nullptr;
  std::array<QLabel*, 5> status_{};
  QTimer* listTimer_ = nullptr;
  std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace tallyvane::ui
