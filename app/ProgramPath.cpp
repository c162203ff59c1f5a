#include "app/ProgramPath.h"

#include <filesystem>
#include <system_error>

namespace tallyvane {

std::string executablePath() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string executableDirectory() { return std::filesystem::path(executablePath()).parent_path().string(); }

}  // namespace tallyvane
