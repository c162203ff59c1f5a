#pragma once
// The port through which the core shows things. The desktop window, the CLI and the tests each
// implement it. Calls may come from any thread; implementations make them safe.

#include <cstdint>
#include <string_view>

#include "base/Message.h"

namespace tallyvane {

// The five fields of the status bar.
enum StatusField : int {
  kFilteredUrlsField = 0,
  kUrlsField = 1,
  kResponsesField = 2,
  kSpeedField = 3,
  kThreadsField = 4,
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A message box with one OK button.
  virtual void showMessage(std::string_view title, std::string_view text) = 0;

  // A question with Yes and No; true for Yes. Blocks only the calling thread. Where nobody can
  // answer (the command line), the answer is No.
  virtual bool askYesNo(std::string_view /*title*/, std::string_view /*text*/) { return false; }

  // Status bar field 0 to 4.
  virtual void setStatusField(int field, std::string_view text) = 0;

  // Busy while a crawl runs (commands disabled, Abort enabled); idle again when it has ended.
  virtual void setBusy(bool busy) = 0;

  // The progress window of a save, load or report: its text and how far it got.
  virtual void showProgress(std::string_view text, int64_t done, int64_t total) = 0;
};

}  // namespace tallyvane
