#pragma once
// Waiting for something another thread or process does: polled until it holds, or a failure that
// names what never came once the deadline has passed. Generous, as sanitizer builds on a busy
// machine are slow; a passing test never waits for the deadline.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string_view>

namespace tallyvane::testing {

inline constexpr std::chrono::seconds kEventDeadline{30};

::testing::AssertionResult eventually(const std::function<bool()>& condition, std::string_view what,
                                      std::chrono::milliseconds deadline = kEventDeadline);

}  // namespace tallyvane::testing
