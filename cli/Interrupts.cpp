#include "cli/Interrupts.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

#include "cli/CheckCommand.h"

namespace tallyvane::cli {

void stopOnInterrupt(RunningFlag& running) {
  // A signal ignored on entry (a background job's SIGINT) would be discarded, not waited for.
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals, &running] {
    int signal = 0;
    while (sigwait(&signals, &signal) == 0) {
      if (!running.isSet()) std::_Exit(kExitAborted);
      running.clear();
    }
  }).detach();
}

}  // namespace tallyvane::cli
