#pragma once

#include "engine/RunningFlag.h"

namespace tallyvane::cli {

// Ctrl-C stops the crawl as the Abort button does; a second Ctrl-C ends the program at once.
// Call before any other thread starts: the signal is then taken by one watching thread, where
// stopping may lock (a signal handler may not).
void stopOnInterrupt(RunningFlag& running);

}  // namespace tallyvane::cli
