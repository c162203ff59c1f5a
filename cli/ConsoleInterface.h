#pragma once
// The CLI's side of the user-interface port: every message box becomes "Title: text" on stderr,
// and while busy the progress line is shown: on a terminal redrawn in place at most four times a
// second, elsewhere (a pipe, a file, TERM=dumb) a plain line every ten seconds.

#include <functional>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/UserInterface.h"

namespace tallyvane::cli {

class ConsoleInterface : public UserInterface {
 public:
  explicit ConsoleInterface(std::FILE* out = stderr, bool progress = true) : out_(out), progress_(progress) {}
  ~ConsoleInterface() override;

  void showMessage(std::string_view title, std::string_view text) override;
  void setStatusField(int field, std::string_view text) override;
  void setBusy(bool busy) override;
  void showProgress(std::string_view text, int64_t done, int64_t total) override;

  void setProgress(bool enabled) { progress_ = enabled; }
  // The text of the progress line while busy; called by the printer thread.
  void setProgressLine(std::function<std::string()> line);
  // Once no longer busy: the progress line again when it has changed since last shown (the crawl
  // ends the busy state before its total may be known).
  void showLastProgress();
  // A message with this title is kept back until releaseHeldMessage(), which shows it or drops it.
  void holdMessage(std::string_view title);
  void releaseHeldMessage(bool show);
  // Names the file a task's progress lines are about ("FILE: text"); empty names none.
  void setTaskName(std::string name) {
    std::lock_guard lock(mutex_);
    taskName_ = std::move(name);
  }

 private:
  void printProgress();
  void stopProgress();
  // Escape codes and redraws only where a person watches.
  bool isTerminal() const;

  std::FILE* out_;
  bool progress_;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::function<std::string()> progressLine_;
  std::string shownLine_;  // the last one printed
  std::string urlsField_;  // the status bar's URL field, shown while the progress line is empty
  std::string taskName_;
  std::string heldTitle_;
  std::optional<std::string> heldText_;
  bool busy_ = false;
  bool lineOpen_ = false;  // a progress line without its line break yet (terminal)
  std::thread printer_;
  std::chrono::steady_clock::time_point lastProgress_{};
};

}  // namespace tallyvane::cli
