#pragma once

#include <string>

namespace tallyvane {

// The folder that holds the running executable, without a trailing "/"; "" if unknown.
std::string executableDirectory();

}  // namespace tallyvane
