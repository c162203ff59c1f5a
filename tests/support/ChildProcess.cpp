#include "tests/support/ChildProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tallyvane::testing {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
  int fds[2];
  if (::pipe(fds) != 0) return;
  // Built before the fork: the child only calls async-signal-safe functions.
  std::vector<std::string> environmentCopy = environment;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    for (std::string& entry : environmentCopy) ::putenv(entry.data());
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  output_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (!finished_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
}

std::string ChildProcess::readLine() {
  std::string line;
  char c = 0;
  while (::read(output_, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

std::pair<std::string, int> ChildProcess::finish() {
  std::string rest;
  char buffer[256];
  ssize_t got = 0;
  while ((got = ::read(output_, buffer, sizeof buffer)) > 0) rest.append(buffer, static_cast<size_t>(got));
  int status = 0;
  ::waitpid(pid_, &status, 0);
  finished_ = true;
  return {rest, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string commandLineOf(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  while (!line.empty() && line.back() == '\0') line.pop_back();
  for (char& c : line) c = c == '\0' ? ' ' : c;
  return line;
}

bool catchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    return (mask >> (signal - 1)) & 1;
  }
  return false;
}

}  // namespace tallyvane::testing
