#include "tests/support/Eventually.h"

#include <thread>

namespace tallyvane::testing {

::testing::AssertionResult eventually(const std::function<bool()>& condition, std::string_view what,
                                      std::chrono::milliseconds deadline) {
  const auto giveUpAt = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUpAt) {
      return ::testing::AssertionFailure() << what << ": not so after " << deadline.count() << " ms";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tallyvane::testing
