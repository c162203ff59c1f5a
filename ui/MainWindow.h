#pragma once
// The program's only permanent window: menus, the filter, the search and the "Abort" and "Clear"
// buttons, the result list above the detail panel (with the overview charts), and the five-field
// status bar. It shows one crawl session, through which it starts every crawl and file task.
//
// Main thread only, except through its QtUserInterface, which any thread may call.

#include <QMainWindow>
#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/CrawlSession.h"
#include "app/CrawlSetup.h"
#include "app/HttpLibrary.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "results/CsvReport.h"
#include "ui/MainMenus.h"
#include "ui/QtUserInterface.h"
#include "ui/ResultListView.h"

class QMimeData;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTimer;

namespace tallyvane::ui {

class CrawlStartDialog;
class DetailPanel;
class OverviewTab;
class ProgressWindow;
class ResultTableModel;

inline constexpr const char* kProgramTitle = "Tallyvane";
inline constexpr const char* kExitQuestion =
    "There's a crawl in progress and the results are not saved. Are you sure you want to exit?";
inline constexpr const char* kDiscardResultsQuestion =
    "The results of the last check are not saved. Do you want to discard them?";
inline constexpr int kListTimerMs = 250;
inline constexpr std::chrono::milliseconds kQuitWaitForCrawl{1000};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(const HttpLibrary& http, Settings& settings, SettingsLocation settingsLocation, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Every crawl starts here, once its window has checked it: clears the results, prepares the
  // list (test column, or the workers' view of a low-memory crawl), makes the window busy and
  // starts the controller with the settings' threads and rewrite rules. Without an input file in
  // the setup, manualText (lines separated by CR LF) is the input.
  void startCrawl(const CrawlSetup& setup, std::string manualText = {});
  void startClipboardCheck();
  // "Check URLs" of a file chosen in its window or dropped on this one: the same checks and
  // messages, then the crawl.
  void checkFile(const std::string& file);
  // Opens the window of a menu item.
  void openDialog(DialogId dialog);

  // The file tasks, once their file is chosen.
  void saveResultsTo(const std::filesystem::path& path);
  void loadResultsFrom(const std::filesystem::path& path);
  void writeReportTo(ReportKind kind, const std::filesystem::path& path);

  // Whether the settings' position was restored; otherwise the caller places the window.
  bool placementRestored() const { return placementRestored_; }

  // The quit sequence: asks during a crawl (false on No), stops and waits for what runs, keeps the
  // column widths and saves the settings.
  bool requestExit();
  // A crawl still draining after the quit's wait: libcurl must then not be cleaned up.
  bool crawlStillActive() const { return session_.crawl().isActive(); }

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
  CrawlSession& session() { return session_; }

  // The controls, for the dialogs that work with them and for tests.
  MainMenus& menus() { return *menus_; }
  ResultListView* resultList() const { return list_; }
  QLineEdit* searchField() const { return search_; }
  OverviewTab* overview() const { return overview_; }
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
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  void connectMenus();
  void setListMode(ListMode mode);
  void captureColumnWidths();
  void clearResults();
  // Whether results that were never saved may go: asks when there are any.
  bool mayDiscardResults();
  // The list after its store was emptied: every URL's filter, no sort, no rows.
  void showListCleared();
  void resetSortIndicator();
  // The indicator of the view's sort, or none.
  void showSortIndicator();
  void refreshFilteredText();
  // The search field's text over the view's current rows (again after a filter, sort or load).
  void restartSearch();
  void searchFound();
  void filterChanged();
  void columnClicked(int section);
  void sortInstalled();
  // The record of the selected row, in the result views only.
  const ResultRecord* selectedRecord() const;
  void showResultDetails();
  void showResultListMenu(const QPoint& position);
  // A file the window would check if it were dropped now.
  std::optional<std::string> droppableFile(const QMimeData* data) const;
  void openCheckFileDialog();
  void openManualEntryDialog();
  // A test or low-memory dialog: the crawl it sets up starts when it is accepted.
  void openCrawlStartDialog(CrawlStartDialog* dialog);
  void chooseAndSaveResults();
  void chooseAndLoadResults();
  void chooseAndWriteReport(ReportKind kind);
  // File dialogs open in the folder last used; a save adds extension to a name without one.
  std::optional<std::filesystem::path> chooseFileToSave(const QString& title, const QString& filter,
                                                        const char* extension);
  std::optional<std::filesystem::path> chooseFileToOpen(const QString& title, const QString& filter);
  void showFileTaskStarted(const char* title, const char* text);
  // Posts the file task's end to the main thread.
  CrawlSession::TaskEnded fileTaskEndedNotice();
  void fileTaskEnded();
  // A settings dialog over this window's settings record and file.
  template <typename Dialog>
  void openSettingsDialog();

  Settings& settings_;
  SettingsLocation settingsLocation_;
  std::atomic<bool> reloadPending_{false};
  QtUserInterface port_;
  CrawlSession session_;  // after what its threads call: it ends them first

  bool crawlBusy_ = false;
  bool exitConfirmed_ = false;
  bool unsavedResults_ = false;  // a crawl's results, neither saved nor loaded from a file
  bool taskKeepsResults_ = false;  // the file task is a save or a load, not a report
  bool placementRestored_ = false;
  bool shownOnce_ = false;

  std::unique_ptr<MainMenus> menus_;
  QComboBox* filter_ = nullptr;
  QLineEdit* search_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* clear_ = nullptr;
  QSplitter* splitter_ = nullptr;
  ResultListView* list_ = nullptr;
  ResultTableModel* model_ = nullptr;
  DetailPanel* details_ = nullptr;
  OverviewTab* overview_ = nullptr;
  std::array<QLabel*, 5> status_{};
  QTimer* listTimer_ = nullptr;
  std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace tallyvane::ui
