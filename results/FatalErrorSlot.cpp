#include "results/FatalErrorSlot.h"

namespace tallyvane {

bool FatalErrorSlot::raise(std::string title, std::string message, int code) {
  std::lock_guard lock(mutex_);
  if (error_.code != kNoFatalError) return false;
  error_ = FatalError{std::move(title), std::move(message), code};
  return true;
}

FatalError FatalErrorSlot::get() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool FatalErrorSlot::isSet() const {
  std::lock_guard lock(mutex_);
  return error_.code != kNoFatalError;
}

void FatalErrorSlot::clear() {
  std::lock_guard lock(mutex_);
  error_ = FatalError{};
}

}  // namespace tallyvane
