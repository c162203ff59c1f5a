#pragma once
// The error that stops a crawl. Written by whichever thread stops it, read by the controller
// after every worker has ended. The first error wins.

#include <cstdint>
#include <mutex>
#include <string>

namespace tallyvane {

enum FatalErrorCode : int {
  kNoFatalError = 0,
  kOutOfMemory = 1,
  kReportWriteFailed = 3,
  kNoCurlHandle = 4,
};

struct FatalError {
  std::string title;
  std::string message;
  int code = kNoFatalError;
};

class FatalErrorSlot {
 public:
  // Returns false when an earlier error already holds the slot.
  bool raise(std::string title, std::string message, int code);
  FatalError get() const;
  bool isSet() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  FatalError error_;
};

}  // namespace tallyvane
