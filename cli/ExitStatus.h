#pragma once
// The exit statuses of tallyvane-cli, and how an end maps onto them.

#include "app/Crawl.h"

namespace tallyvane::cli {

enum ExitStatus : int {
  kExitFinished = 0,
  kExitError = 1,       // an error message, or a usage error
  kExitTestFailed = 2,  // a test finished and at least one URL failed
  kExitAborted = 130,   // interrupted
};

// A failure (of the crawl, or of writing its files) outweighs an interrupt, which outweighs how
// the finished work went (whenFinished: kExitFinished, or kExitTestFailed for a failed test).
inline int exitStatusOf(CrawlEnd end, bool filesWritten, bool wasInterrupted, int whenFinished = kExitFinished) {
  if (end == CrawlEnd::Failed || end == CrawlEnd::NotStarted || !filesWritten) return kExitError;
  if (end == CrawlEnd::Aborted || wasInterrupted) return kExitAborted;
  return whenFinished;
}

}  // namespace tallyvane::cli
