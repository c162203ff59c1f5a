#pragma once
// One session of the program: the result store and its view, the URL input, the crawl, the file
// task (save, load, report), and the test and list modes of what the store holds. The desktop
// window and the command line assemble none of this themselves: they run every crawl and every
// file task through here.
//
// Threads: the front end's main thread calls everything, but stopCrawl() and stopFileTask()
// (any thread). The session calls the UserInterface port from its own threads.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Crawl.h"
#include "app/CrawlSetup.h"
#include "app/FileTask.h"
#include "app/HttpLibrary.h"
#include "app/UserInterface.h"
#include "base/ThreadAffinity.h"
#include "config/ColumnWidths.h"
#include "config/Settings.h"
#include "input/UrlInput.h"
#include "results/CsvReport.h"
#include "results/ResultStore.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"
#include "results/UrlSearch.h"

namespace tallyvane {

// The columns the result list shows; each keeps its widths in the settings under its number.
enum class ListMode : int {
  Live = kMainListMode0,         // "Thread", "URL": what each worker checks (low-memory crawls)
  Results = kMainListMode1,      // the eleven result columns
  TestResults = kMainListMode2,  // "Test Result", then the eleven result columns
};

// How a file task ended, once it has.
struct FileTaskEnd {
  bool succeeded = false;
  std::optional<int64_t> loadedResponses;  // after a load that got as far as its records
};

class CrawlSession {
 public:
  // Without a bound libcurl the session only loads, saves and writes reports.
  CrawlSession(UserInterface& ui, const HttpLibrary* http, int64_t slowPageThresholdMs);
  // Stops what runs and waits for it.
  ~CrawlSession();
  CrawlSession(const CrawlSession&) = delete;
  CrawlSession& operator=(const CrawlSession&) = delete;

  ResultStore& store() { return store_; }
  const ResultStore& store() const { return store_; }
  ResultView& view() { return view_; }
  const ResultView& view() const { return view_; }
  // The list's search; stopped with the sort whenever the store is cleared.
  UrlSearch& search() { return search_; }
  TestMode testMode() const { return testMode_; }
  ListMode listMode() const { return listMode_; }

  // Empties the store, a running sort stopped first, and shows every URL again.
  void clearResults();

  // Clears the results (unless the setup resumes what the store holds) and starts the crawl the
  // setup describes: of its input file, or else of
  // manualText (lines separated by CR LF). settings are copied as they stand, with the run's own
  // overrides; the thread count is their NumThreads. The test and list modes become the setup's.
  void startCrawl(const Settings& settings, const CrawlSetup& setup, std::string manualText = {},
                  ConnectionOptions connection = {});
  void stopCrawl() { crawl().stop(); }
  // Waits for the crawl's controller to end (at once when the interface has been told the crawl
  // is no longer busy). The live view of a low-memory crawl then gives way to the results list:
  // its results are in its report.
  void waitForCrawl();
  Crawl& crawl();
  const Crawl& crawl() const;
  // Called on a worker thread after each stored URL (not in a low-memory crawl), so the list can
  // show its new rows. Set before a crawl starts.
  void setResultsChanged(std::function<void()> changed) { resultsChanged_ = std::move(changed); }

  // Save, load and report, one at a time on the file task's thread; ended runs on that thread
  // once the work is done (a window posts it to its own thread). finishFileTask() then ends it.
  using TaskEnded = std::function<void()>;
  void startSave(const std::filesystem::path& path, TaskEnded ended = {});
  // Clears the results first; the test mode becomes the file's once the task is finished.
  void startLoad(const std::filesystem::path& path, TaskEnded ended = {});
  // In the view's filter and order as they are now; a running sort is stopped. The HTML summary
  // covers the whole store.
  void startReport(ReportKind kind, const std::filesystem::path& path, TaskEnded ended = {});
  // Waits for the file task. After a load, the test and list modes are the file's.
  FileTaskEnd finishFileTask();
  void stopFileTask() { fileTask_.stop(); }

  // The program quits: no more messages or interface updates from the crawl, the file task is
  // stopped and waited for, and so is a sort.
  void quit();

 private:
  void runFileTask(FileWork work, TaskEnded ended);

  const ThreadOwner owner_;
  UserInterface& ui_;
  ResultStore store_;
  ResultView view_;
  UrlSearch search_;
  int64_t slowPageThresholdMs_;
  UrlInput input_;
  std::unique_ptr<Crawl> crawl_;
  FileTask fileTask_;
  TestMode testMode_ = TestMode::None;
  ListMode listMode_ = ListMode::Results;
  std::function<void()> resultsChanged_;
  std::optional<LoadOutcome> loaded_;  // set by a load task, read once it has ended
};

}  // namespace tallyvane
