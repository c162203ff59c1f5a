#include "tests/support/RunCommand.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace tallyvane::testing {

std::pair<int, std::string> runCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, output};
  std::array<char, 4096> buffer;
  while (size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), got);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace tallyvane::testing
