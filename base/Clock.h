#pragma once

#include <chrono>
#include <cstdint>

namespace tallyvane {

// Milliseconds of the monotonic clock: response times and crawl speed never jump with the
// wall clock.
inline int64_t monotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace tallyvane
