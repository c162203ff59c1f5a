#include "results/UrlSearch.h"

#include <algorithm>

namespace tallyvane {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerAscii(c); });
  return lower;
}

// A scan looks at its generation this often, so a newer text is not kept waiting.
constexpr int64_t kRowsBetweenChecks = 4096;

}  // namespace

bool containsIgnoringCase(std::string_view text, std::string_view lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (text.size() < lowerNeedle.size()) return false;
  const char first = lowerNeedle.front();
  const size_t last = text.size() - lowerNeedle.size();
  for (size_t at = 0; at <= last; ++at) {
    if (lowerAscii(text[at]) != first) continue;
    size_t i = 1;
    while (i < lowerNeedle.size() && lowerAscii(text[at + i]) == lowerNeedle[i]) ++i;
    if (i == lowerNeedle.size()) return true;
  }
  return false;
}

UrlSearch::UrlSearch(const ResultStore& store) : store_(store) {}

UrlSearch::~UrlSearch() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    ++generation_;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void UrlSearch::setFound(std::function<void()> found) {
  std::lock_guard lock(mutex_);
  found_ = std::move(found);
}

void UrlSearch::search(std::string_view text, ViewSelection view) {
  std::string needle = lowerAscii(text);
  {
    std::lock_guard lock(mutex_);
    if (needle == needle_ && view.sorted == view_.sorted && view.filter == view_.filter && (rows_ || scanPending_)) {
      return;
    }
    needle_ = needle;
    view_ = view;
    if (needle_.empty()) {
      ++generation_;
      rows_.reset();
      scanPending_ = false;
      return;
    }
  }
  start({std::move(needle), view, 0, nullptr});
}

void UrlSearch::rowsAdded(bool orderChanged) {
  Scan scan;
  {
    std::lock_guard lock(mutex_);
    if (needle_.empty()) return;
    // A scan still pending covers the new rows too, unless it only extends an older result.
    if (scanPending_ && pending_.fromRow == 0) return;
    scan.needle = needle_;
    scan.view = view_;
    if (!orderChanged && rows_ && !scanPending_) {
      scan.fromRow = scannedRows_;
      scan.base = rows_;
    }
  }
  start(std::move(scan));
}

void UrlSearch::start(Scan scan) {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    pending_ = std::move(scan);
    scanPending_ = true;
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  }
  wake_.notify_all();
}

void UrlSearch::stop() {
  std::unique_lock lock(mutex_);
  ++generation_;
  scanPending_ = false;
  // The scan in progress reads records: it must have let go of them before the store is cleared.
  idle_.wait(lock, [this] { return !scanning_; });
  rows_.reset();
  scannedRows_ = 0;
  needle_.clear();
}

bool UrlSearch::active() const {
  std::lock_guard lock(mutex_);
  return !needle_.empty();
}

std::string UrlSearch::text() const {
  std::lock_guard lock(mutex_);
  return needle_;
}

std::shared_ptr<const UrlSearch::Rows> UrlSearch::rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

void UrlSearch::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || scanPending_; });
    if (ending_) return;
    const Scan scan = std::move(pending_);
    const uint64_t generation = generation_;
    scanPending_ = false;
    scanning_ = true;
    lock.unlock();
    int64_t endRow = 0;
    std::shared_ptr<const Rows> found = scanRows(scan, generation, endRow);
    std::function<void()> notify;
    lock.lock();
    scanning_ = false;
    idle_.notify_all();
    if (!found || generation != generation_) continue;
    rows_ = std::move(found);
    scannedRows_ = endRow;
    notify = found_;
    lock.unlock();
    // Outside the lock: the front end may ask for the rows at once.
    if (notify) notify();
    lock.lock();
  }
}

std::shared_ptr<const UrlSearch::Rows> UrlSearch::scanRows(const Scan& scan, uint64_t generation,
                                                           int64_t& endRow) const {
  auto rows = std::make_shared<Rows>();
  if (scan.base) *rows = *scan.base;
  endRow = store_.rowCount(scan.view);
  for (int64_t row = scan.fromRow; row < endRow; ++row) {
    if ((row - scan.fromRow) % kRowsBetweenChecks == kRowsBetweenChecks - 1) {
      std::lock_guard lock(mutex_);
      if (generation != generation_) return nullptr;
    }
    const ResultRecord* record = store_.recordAtRow(row, scan.view);
    if (record == nullptr) break;  // rows of a filter change only with the store, which stop() precedes
    if (containsIgnoringCase(textOf(record->first().url), scan.needle)) rows->push_back(record);
  }
  return rows;
}

}  // namespace tallyvane
