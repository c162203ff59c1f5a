#include "cli/Interrupts.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "base/FileContents.h"
#include "cli/ExitStatus.h"

namespace tallyvane::cli {
namespace {

using Clock = std::chrono::steady_clock;

// `timeout` signals the program and then its process group: both are one interrupt.
constexpr auto kSameInterrupt = std::chrono::seconds(1);

struct InterruptState {
  std::mutex mutex;
  std::optional<Clock::time_point> first;
  std::function<void()> stop;
};

InterruptState& state() {
  static InterruptState instance;
  return instance;
}

void onSignal() {
  InterruptState& s = state();
  std::lock_guard lock(s.mutex);
  const Clock::time_point now = Clock::now();
  if (!s.first) {
    s.first = now;
    if (s.stop) s.stop();
    return;
  }
  if (now - *s.first < kSameInterrupt) return;
  removeUnfinishedFiles();
  std::_Exit(kExitAborted);
}

}  // namespace

void watchInterrupts() {
  sigset_t signals;
  sigemptyset(&signals);
  bool any = false;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&signals, signal);
    any = true;
  }
  if (!any) return;
  // Blocked in every thread (those started later inherit the mask), so only sigwait takes them.
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int signal = 0;
    while (::sigwait(&signals, &signal) == 0) onSignal();
  }).detach();
}

bool interrupted() {
  InterruptState& s = state();
  std::lock_guard lock(s.mutex);
  return s.first.has_value();
}

StopOnInterrupt::StopOnInterrupt(std::function<void()> stop) {
  InterruptState& s = state();
  std::lock_guard lock(s.mutex);
  if (s.first) stop();
  s.stop = std::move(stop);
}

StopOnInterrupt::~StopOnInterrupt() {
  InterruptState& s = state();
  std::lock_guard lock(s.mutex);
  s.stop = nullptr;
}

}  // namespace tallyvane::cli
