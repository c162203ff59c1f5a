#pragma once
// A save, load or report on a thread of its own. Its progress and its final message go through
// the port; quitting stops it and waits, so a partial file never replaces a complete one.

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "app/UserInterface.h"
#include "results/CsvReport.h"

namespace tallyvane {

// The work: reports progress, checks quitting, and returns the message to show on failure.
using FileWork = std::function<std::optional<Message>(const TaskProgress& progress, const std::atomic<bool>& quitting)>;

class FileTask {
 public:
  explicit FileTask(UserInterface& ui) : ui_(ui) {}
  ~FileTask() { quit(); }
  FileTask(const FileTask&) = delete;
  FileTask& operator=(const FileTask&) = delete;

  void start(FileWork work);
  // Waits for the task; true when it succeeded.
  bool wait();
  // Asks the task to stop early, from any thread; it then never counts as a success.
  void stop() { quitting_ = true; }
  // Asks the task to stop early and waits for it.
  void quit();

 private:
  UserInterface& ui_;
  std::atomic<bool> quitting_{false};
  std::thread thread_;
  bool succeeded_ = false;
};

}  // namespace tallyvane
