#pragma once
// The CLI's side of the user-interface port: every message box becomes "Title: text" on stderr.

#include <cstdio>
#include <mutex>

#include "app/UserInterface.h"

namespace tallyvane::cli {

class ConsoleInterface : public UserInterface {
 public:
  explicit ConsoleInterface(std::FILE* out = stderr) : out_(out) {}
  void showMessage(std::string_view title, std::string_view text) override;
  void setStatusField(int field, std::string_view text) override;

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace tallyvane::cli
