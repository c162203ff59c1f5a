#pragma once

#include <string>
#include <utility>

namespace tallyvane::testing {

// Runs a shell command; returns its exit status (-1 if it did not exit) and its stdout and
// stderr together.
std::pair<int, std::string> runCommand(const std::string& command);

}  // namespace tallyvane::testing
