#pragma once
// A message box to show: what the core returns when an operation fails, for the front end to
// show through its UserInterface port.

#include <string>
#include <string_view>

namespace tallyvane {

inline constexpr std::string_view kErrorTitle = "Error";

struct Message {
  std::string title;
  std::string text;
};

inline Message errorMessage(std::string_view text) { return {std::string(kErrorTitle), std::string(text)}; }

}  // namespace tallyvane
