#include "results/UrlSearch.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <span>

#include "base/AlternateSignalStack.h"

namespace tallyvane {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerAscii(c); });
  return lower;
}

// A scan takes the store's lock once a batch, and looks at its generation as often, so a newer
// text is not kept waiting.
constexpr int64_t kRowsPerBatch = 4096;

// Each URL is three dependent loads away (record, response, text): asking for them a few records
// ahead keeps the memory busy instead of waiting for each load in turn.
void prefetchAhead(const std::vector<const ResultRecord*>& records, size_t i, size_t taken) {
  constexpr size_t kRecordDistance = 24, kResponseDistance = 16, kTextDistance = 8;
  if (i + kRecordDistance < taken) __builtin_prefetch(records[i + kRecordDistance]);
  if (i + kResponseDistance < taken) __builtin_prefetch(records[i + kResponseDistance]->responses);
  if (i + kTextDistance < taken) __builtin_prefetch(records[i + kTextDistance]->responses[0].url);
}

}  // namespace

bool containsIgnoringCase(std::string_view text, std::string_view lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (text.size() < lowerNeedle.size()) return false;
  // memchr looks at many bytes at once: on to the next place either case of the first byte is.
  // Each case's next place is kept until the scan passes it, so no byte is looked at twice.
  const char lower = lowerNeedle.front();
  const char upper = lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 'a' + 'A') : lower;
  const char* const end = text.data() + text.size() - lowerNeedle.size() + 1;  // past the last start
  const auto next = [end](const char* from, char c) {
    const auto* found = static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
    return found ? found : end;
  };
  const char* nextLower = next(text.data(), lower);
  const char* nextUpper = upper == lower ? end : next(text.data(), upper);
  while (nextLower != end || nextUpper != end) {
    const bool lowerFirst = nextLower < nextUpper;
    const char* at = lowerFirst ? nextLower : nextUpper;
    size_t i = 1;
    while (i < lowerNeedle.size() && lowerAscii(at[i]) == lowerNeedle[i]) ++i;
    if (i == lowerNeedle.size()) return true;
    if (lowerFirst) {
      nextLower = next(nextLower + 1, lower);
    } else {
      nextUpper = next(nextUpper + 1, upper);
    }
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
  assert(owner_.isCurrent());
  std::lock_guard lock(mutex_);
  found_ = std::move(found);
}

void UrlSearch::search(std::string_view text, ViewSelection view) {
  assert(owner_.isCurrent());
  const std::string needle = lowerAscii(text);
  Scan scan{needle, view, 0, nullptr, false};
  {
    std::lock_guard lock(mutex_);
    if (needle == needle_ && view.sorted == view_.sorted && view.filter == view_.filter && (rows_ || scanPending_)) {
      return;
    }
    // Every URL holding the new text holds the old one: typing on only looks at the rows found,
    // when they are few enough that reading them in the view's order (all over the store, in a
    // sorted view) costs less than a scan in store order.
    const bool narrowing = rows_ && rowsCurrent_ && !scanPending_ && !scanning_ && !needle_.empty() &&
                           static_cast<int64_t>(rows_->size()) <= scannedRows_ / 4 &&
                           view.sorted == view_.sorted && view.filter == view_.filter &&
                           needle.find(needle_) != std::string::npos;
    needle_ = needle;
    view_ = view;
    rowsCurrent_ = false;
    if (needle_.empty()) {
      ++generation_;
      rows_.reset();
      scanPending_ = false;
      return;
    }
    if (narrowing) scan = {needle, view, scannedRows_, rows_, true};
  }
  start(std::move(scan));
}

void UrlSearch::rowsAdded(bool orderChanged) {
  assert(owner_.isCurrent());
  Scan scan;
  {
    std::lock_guard lock(mutex_);
    if (needle_.empty()) return;
    // A scan still pending covers the new rows too, unless it only extends an older result.
    if (scanPending_ && pending_.fromRow == 0) return;
    scan.needle = needle_;
    scan.view = view_;
    // Rows of an older text, or of one still being narrowed, are no base to extend.
    if (!orderChanged && rows_ && rowsCurrent_ && !scanPending_) {
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
    if (!thread_.joinable()) {
      thread_ = std::thread([this] {
        const AlternateSignalStack signalStack;
        run();
      });
    }
  }
  wake_.notify_all();
}

void UrlSearch::stop() {
  assert(owner_.isCurrent());
  std::unique_lock lock(mutex_);
  ++generation_;
  scanPending_ = false;
  // The scan in progress reads records: it must have let go of them before the store is cleared.
  idle_.wait(lock, [this] { return !scanning_; });
  rows_.reset();
  rowsCurrent_ = false;
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
    rowsCurrent_ = true;
    scannedRows_ = endRow;
    notify = found_;
    lock.unlock();
    // Outside the lock: the front end may ask for the rows at once.
    if (notify) notify();
    lock.lock();
  }
}

bool UrlSearch::abandoned(uint64_t generation) const {
  std::lock_guard lock(mutex_);
  return generation != generation_;
}

bool UrlSearch::scanStore(const Scan& scan, uint64_t generation, int64_t count, const Found& found) const {
  std::vector<const ResultRecord*> records(kRowsPerBatch);
  for (int64_t index = 0; index < count; index += kRowsPerBatch) {
    if (abandoned(generation)) return false;
    const size_t taken = store_.recordsFrom(index, records);
    for (size_t i = 0; i < taken; ++i) {
      prefetchAhead(records, i, taken);
      if (containsIgnoringCase(textOf(records[i]->first().url), scan.needle)) found(static_cast<size_t>(index) + i, records[i]);
    }
  }
  return true;
}

std::shared_ptr<const UrlSearch::Rows> UrlSearch::narrowRows(const Scan& scan, uint64_t generation) const {
  auto rows = std::make_shared<Rows>();
  for (size_t i = 0; i < scan.base->size(); ++i) {
    if (i % kRowsPerBatch == 0 && abandoned(generation)) return nullptr;
    prefetchAhead(*scan.base, i, scan.base->size());
    const ResultRecord* record = (*scan.base)[i];
    if (containsIgnoringCase(textOf(record->first().url), scan.needle)) rows->push_back(record);
  }
  return rows;
}

std::shared_ptr<const UrlSearch::Rows> UrlSearch::scanRows(const Scan& scan, uint64_t generation,
                                                           int64_t& endRow) const {
  if (scan.narrowing) {
    endRow = scan.fromRow;
    return narrowRows(scan, generation);
  }
  auto rows = std::make_shared<Rows>();
  if (scan.base) *rows = *scan.base;
  endRow = store_.rowCount(scan.view);
  std::vector<uint32_t> indices(kRowsPerBatch);

  if (scan.fromRow > 0) {
    // Rows appended to an unsorted view since the last scan: a few thousand, looked up one by one.
    for (int64_t row = scan.fromRow; row < endRow; row += kRowsPerBatch) {
      if (abandoned(generation)) return nullptr;
      const size_t taken = store_.indicesOfRows(row, indices, scan.view);
      for (size_t i = 0; i < taken; ++i) {
        const ResultRecord* record = store_.recordAtIndex(indices[i]);
        if (record != nullptr && containsIgnoringCase(textOf(record->first().url), scan.needle)) rows->push_back(record);
      }
    }
    return rows;
  }

  // Every record in store order first: they lie in memory in that order, so the scan streams
  // through them instead of jumping about as a sorted view's rows would make it. (A second thread
  // taking half the records gained nothing measurable on two cores.)
  const int64_t count = store_.count();
  const bool storeOrder = !scan.view.sorted && scan.view.filter == Filter::AllUrls;
  // By store index, a bit for each match: small enough to stay in the cache while the view's rows
  // visit it in their order. (Not the record of each match too: a fresh array of a pointer per
  // record costs as much in page faults as the scan.)
  std::vector<uint64_t> matched;
  if (!storeOrder) {
    matched.assign(static_cast<size_t>(count) / 64 + 1, 0);
  } else {
    // Room for every record: growing match by match made a scan where most URLs match 40 % slower,
    // and the pages past the matches are never touched.
    rows->reserve(static_cast<size_t>(count));
  }
  size_t foundCount = 0;
  const bool complete = scanStore(scan, generation, count, [&](size_t at, const ResultRecord* record) {
    ++foundCount;
    if (storeOrder) {
      rows->push_back(record);
    } else {
      matched[at / 64] |= uint64_t{1} << (at % 64);
    }
  });
  if (!complete) return nullptr;
  if (storeOrder || foundCount == 0) {
    endRow = std::min(endRow, count);
    return rows;
  }
  // Then the view's rows in its order, which only reads indices, and the records of the matches
  // among them. A row added after the count was taken is left to the next scan.
  rows->reserve(foundCount);
  std::vector<uint32_t> matches;
  matches.reserve(kRowsPerBatch);
  std::vector<const ResultRecord*> records(kRowsPerBatch);
  for (int64_t row = 0; row < endRow; row += kRowsPerBatch) {
    if (abandoned(generation)) return nullptr;
    const size_t taken = store_.indicesOfRows(row, indices, scan.view);
    matches.clear();
    for (size_t i = 0; i < taken; ++i) {
      const uint32_t at = indices[i];
      if (at < count && (matched[at / 64] >> (at % 64) & 1) != 0) matches.push_back(at);
    }
    const auto found = std::span(records).first(matches.size());
    store_.recordsAt(matches, found);
    rows->insert(rows->end(), found.begin(), found.end());
  }
  return rows;
}

}  // namespace tallyvane
