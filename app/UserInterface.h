#pragma once
// The port through which the core shows things. The desktop window, the CLI and the tests each
// implement it. Calls may come from any thread; implementations make them safe.

#include <string_view>

namespace tallyvane {

inline constexpr std::string_view kErrorTitle = "Error";

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A message box with one OK button.
  virtual void showMessage(std::string_view title, std::string_view text) = 0;

  // Status bar field 0 to 4.
  virtual void setStatusField(int field, std::string_view text) = 0;
};

}  // namespace tallyvane
