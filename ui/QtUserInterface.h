#pragma once
// The core's port onto the main window. Any thread may call it: every call is carried out on the
// main thread, in the order made, through queued calls; a question blocks only the thread asking.

#include <condition_variable>
#include <mutex>

#include "app/UserInterface.h"

namespace tallyvane::ui {

class MainWindow;

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(MainWindow& window) : window_(window) {}

  void showMessage(std::string_view title, std::string_view text) override;
  bool askYesNo(std::string_view title, std::string_view text) override;
  void setStatusField(int field, std::string_view text) override;
  void setBusy(bool busy) override;
  void showProgress(std::string_view text, int64_t done, int64_t total) override;

  // The program is quitting: open and later questions are answered No, so no thread stays
  // blocked on a window that will never answer.
  void shutDown();

 private:
  template <typename Call>
  void onMainThread(Call call);

  MainWindow& window_;
  std::mutex mutex_;
  std::condition_variable answered_;
  bool shutDown_ = false;
};

}  // namespace tallyvane::ui
