#pragma once
// The user-interface port for benchmark drivers: messages go to standard error, the rest nowhere.

#include <cstdio>

#include "app/UserInterface.h"

namespace tallyvane::bench {

struct SilentInterface : UserInterface {
  void showMessage(std::string_view title, std::string_view text) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
  }
  void setStatusField(int, std::string_view) override {}
  void setBusy(bool) override {}
  void showProgress(std::string_view, int64_t, int64_t) override {}
};

}  // namespace tallyvane::bench
