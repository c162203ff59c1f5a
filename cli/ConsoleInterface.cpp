#include "cli/ConsoleInterface.h"

namespace tallyvane::cli {

void ConsoleInterface::showMessage(std::string_view title, std::string_view text) {
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
               text.data());
  std::fflush(out_);
}

void ConsoleInterface::setStatusField(int, std::string_view) {
  // Progress lines arrive with the crawl; single checks have none to show.
}

}  // namespace tallyvane::cli
