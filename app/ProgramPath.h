#pragma once

#include <string>

namespace tallyvane {

// The running executable's full path; "" if unknown.
std::string executablePath();
// The folder that holds it, without a trailing "/".
std::string executableDirectory();

}  // namespace tallyvane
