#include "base/AlternateSignalStack.h"

#include <signal.h>

#include <algorithm>

namespace tallyvane {

AlternateSignalStack::AlternateSignalStack() {
  // The report's handler writes and execs: a small stack, but above the minimum for any platform.
  const size_t size = std::max<size_t>(SIGSTKSZ, 64 * 1024);
  memory_ = std::make_unique<char[]>(size);
  stack_t stack{};
  stack.ss_sp = memory_.get();
  stack.ss_size = size;
  installed_ = ::sigaltstack(&stack, nullptr) == 0;
}

AlternateSignalStack::~AlternateSignalStack() {
  if (!installed_) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  ::sigaltstack(&off, nullptr);
}

}  // namespace tallyvane
