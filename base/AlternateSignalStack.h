#pragma once
// A stack of its own for the signal handler of the calling thread, for as long as the object
// lives: a fault from a stack overflow is reported too, since the handler cannot run on the stack
// that overflowed. Each thread the program starts holds one.

#include <memory>

namespace tallyvane {

class AlternateSignalStack {
 public:
  AlternateSignalStack();
  ~AlternateSignalStack();
  AlternateSignalStack(const AlternateSignalStack&) = delete;
  AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

 private:
  std::unique_ptr<char[]> memory_;
  bool installed_ = false;
};

}  // namespace tallyvane
