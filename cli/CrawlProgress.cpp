#include "cli/CrawlProgress.h"

#include <cinttypes>
#include <cstdio>

#include "base/Clock.h"
#include "input/UrlParts.h"

namespace tallyvane::cli {
namespace {

// The URLs the list yields, read as the crawl reads it; -1 when stopped first.
int64_t countListUrls(const std::string& listFile, const std::atomic<bool>& stop) {
  UrlInput input;
  if (!input.open(listFile, {}).opened) return -1;
  int64_t total = 0;
  std::string url;
  for (UrlOrigin origin; (origin = input.next(url)) != UrlOrigin::None;) {
    if (stop.load(std::memory_order_relaxed)) return -1;
    if (origin == UrlOrigin::List) ++total;
  }
  return total;
}

}  // namespace

std::string durationText(int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", seconds / 3600, static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
  }
  return text;
}

CrawlProgress::CrawlProgress(const CrawlSession& session, std::string listFile, TestMode testMode)
    : session_(session), testMode_(testMode), startMs_(monotonicMs()) {
  // Sitemaps named by URL are fetched once, by the crawl, which then tells their count.
  if (listFile.empty() || isHttpUrl(listFile)) return;
  counter_ = std::thread([this, listFile = std::move(listFile)] { total_ = countListUrls(listFile, stopCounting_); });
}

CrawlProgress::~CrawlProgress() { settle(false); }

void CrawlProgress::settle(bool finished) {
  if (!finished) stopCounting_ = true;
  if (counter_.joinable()) counter_.join();
}

void CrawlProgress::countFailuresSoFar() {
  // Only the records added since the last line: a tick costs what was added, not the store.
  const ResultStore& store = session_.store();
  for (const int64_t count = store.count(); scanned_ < count; ++scanned_) {
    const ResultRecord& record = *store.recordAtIndex(scanned_);
    const int64_t status = record.last().statusCode;
    failures_ += testMode_ != TestMode::None ? record.testPassed != 1 : status == 0 || status >= 400;
  }
}

std::string CrawlProgress::line() {
  const Crawl& crawl = session_.crawl();
  const int64_t done = crawl.listUrlsDone();
  // Nothing to tell before the first URL is done (an input that cannot be read shows only its error).
  if (done == 0 && crawl.responsesReceived() == 0) return {};
  // A sitemap named by URL is counted by the crawl once fetched; a file by the counter.
  const int64_t total = total_ >= 0 ? total_.load() : crawl.listTotal();
  const double seconds = static_cast<double>(std::max<int64_t>(monotonicMs() - startMs_, 1)) / 1000.0;
  const double rate = static_cast<double>(done) / seconds;
  countFailuresSoFar();

  char text[160];
  std::string line;
  if (total >= 0) {
    const double percent =
        total == 0 ? 100.0 : 100.0 * static_cast<double>(std::min(done, total)) / static_cast<double>(total);
    std::snprintf(text, sizeof text, "%" PRId64 "/%" PRId64 " URLs (%.1f%%)", done, total, percent);
  } else {
    std::snprintf(text, sizeof text, "%" PRId64 " URLs", done);
  }
  line = text;
  std::snprintf(text, sizeof text, "  %" PRId64 " responses  %.0f URLs/s  %" PRId64 " %s", crawl.responsesReceived(),
                rate, failures_, testMode_ != TestMode::None ? "FAIL" : "failed");
  line += text;
  if (total > done && rate > 0) {
    line += "  ETA " + durationText(static_cast<int64_t>(static_cast<double>(total - done) / rate + 0.5));
  }
  return line;
}

}  // namespace tallyvane::cli
