#pragma once
// A UserInterface that remembers what the core showed, for tests to assert.

#include <array>
#include <mutex>
#include <string>
#include <vector>

#include "app/UserInterface.h"

namespace tallyvane::testing {

class RecordingInterface : public UserInterface {
 public:
  void showMessage(std::string_view title, std::string_view text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::string(title) + ": " + std::string(text));
  }
  void setStatusField(int field, std::string_view text) override {
    std::lock_guard lock(mutex_);
    if (field >= 0 && field < 5) fields_[static_cast<size_t>(field)] = std::string(text);
  }
  void setBusy(bool busy) override {
    std::lock_guard lock(mutex_);
    busyChanges_.push_back(busy);
  }

  void showProgress(std::string_view text, int64_t, int64_t) override {
    std::lock_guard lock(mutex_);
    progress_.emplace_back(text);
  }

  std::vector<std::string> progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
  }
  std::vector<std::string> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::string field(int index) const {
    std::lock_guard lock(mutex_);
    return fields_[static_cast<size_t>(index)];
  }
  std::vector<bool> busyChanges() const {
    std::lock_guard lock(mutex_);
    return busyChanges_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  std::array<std::string, 5> fields_;
  std::vector<bool> busyChanges_;
  std::vector<std::string> progress_;
};

}  // namespace tallyvane::testing
