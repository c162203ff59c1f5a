#pragma once
// The progress line of a crawl on the command line: URLs done of the list's total, percent, URLs
// per second, failures so far and the time left. The total is counted on a thread of its own
// while the crawl runs, by reading the list as the crawl does; a sitemap named by URL is counted
// by the crawl once fetched; standard input has none.
//
// Threads: made and destroyed by the command's thread; line() is called by the console's printer.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "app/CrawlSession.h"

namespace tallyvane::cli {

class CrawlProgress {
 public:
  // listFile: the list the crawl reads, or empty when there is no total to count (nor for a URL).
  CrawlProgress(const CrawlSession& session, std::string listFile, TestMode testMode);
  ~CrawlProgress();
  CrawlProgress(const CrawlProgress&) = delete;
  CrawlProgress& operator=(const CrawlProgress&) = delete;

  std::string line();
  // Once the crawl has ended: a finished crawl read the whole list, so its count ends soon and the
  // last line has its total; after an abort the count is dropped.
  void settle(bool finished);

 private:
  void countFailuresSoFar();

  const CrawlSession& session_;
  const TestMode testMode_;
  const int64_t startMs_;
  std::atomic<int64_t> total_{-1};  // -1 while unknown
  std::atomic<bool> stopCounting_{false};
  std::thread counter_;
  int64_t scanned_ = 0;  // records looked at for failures so far
  int64_t failures_ = 0;
};

// "1:02:03" or "2:03".
std::string durationText(int64_t seconds);

}  // namespace tallyvane::cli
