#pragma once
// A program running in a child process, its stdout read through a pipe.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace tallyvane::testing {

class ChildProcess {
 public:
  // environment: "NAME=value" entries added to this process's environment.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  std::string readLine();
  // The rest of the output and the exit status (-1 when it ended by a signal).
  std::pair<std::string, int> finish();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  bool finished_ = false;
};

// The command line of a running process, its arguments separated by blanks.
std::string commandLineOf(pid_t pid);
// Whether the process has a handler of its own for the signal.
bool catchesSignal(pid_t pid, int signal);

}  // namespace tallyvane::testing
