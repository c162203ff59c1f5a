#include "app/ProgramPath.h"

#include <filesystem>
#include <system_error>

namespace tallyvane {

std::string executableDirectory() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return path.parent_path().string();
}

}  // namespace tallyvane
