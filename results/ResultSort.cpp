#include "results/ResultSort.h"

#include <algorithm>
#include <cstring>

namespace tallyvane {
namespace {

int compareNumbers(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Byte order, an absent text counting as empty.
int compareTexts(const char* a, const char* b) {
  const int order = std::strcmp(a ? a : "", b ? b : "");
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

const char* finalUrl(const ResultRecord& r) { return r.responseCount > 1 ? r.last().url : nullptr; }

int compareAscending(int column, const ResultRecord& a, const ResultRecord& b) {
  const ResponseRecord& x = a.first();
  const ResponseRecord& y = b.first();
  switch (column) {
    case kTestResultColumn: {
      const int passed = compareNumbers(a.testPassed, b.testPassed);
      return passed != 0 ? passed : compareTexts(a.testReason, b.testReason);
    }
    case kUrlColumn: return compareTexts(x.url, y.url);
    case kTypeColumn: return compareTexts(x.type, y.type);
    case kStatusCodeColumn: return compareNumbers(x.statusCode, y.statusCode);
    case kStatusColumn: return compareTexts(x.statusText, y.statusText);
    case kSizeColumn: return compareNumbers(x.size, y.size);
    case kResponseTimeColumn: return compareNumbers(x.responseTime, y.responseTime);
    case kXRobotsTagColumn: return compareTexts(x.xRobotsTag, y.xRobotsTag);
    case kVaryColumn: return compareTexts(x.vary, y.vary);
    case kFinalUrlColumn: return compareTexts(finalUrl(a), finalUrl(b));
    case kRedirectsColumn: return compareNumbers(a.responseCount, b.responseCount);
    case kLinkHeadersColumn: return compareNumbers(x.linkCount, y.linkCount);
    default: return 0;
  }
}

struct SortStopped {};

}  // namespace

RecordComparator columnComparator(int column, bool descending) {
  return [column, descending](const ResultRecord& a, const ResultRecord& b) {
    const int order = compareAscending(column, a, b);
    return descending ? -order : order;
  };
}

bool sortRows(SortSnapshot& snapshot, const RecordComparator& comparator, const std::atomic<bool>& stop) {
  // A merge sort: worst case n log n with no deep recursion, and stable. Stopping is checked
  // every few thousand comparisons and leaves by an exception caught right here.
  size_t calls = 0;
  auto less = [&](uint32_t a, uint32_t b) {
    if ((++calls & 4095) == 0 && stop.load(std::memory_order_relaxed)) throw SortStopped{};
    return comparator(snapshot.record(a), snapshot.record(b)) < 0;
  };
  try {
    std::stable_sort(snapshot.rows.begin(), snapshot.rows.end(), less);
  } catch (const SortStopped&) {
    return false;
  }
  return !stop.load();
}

void ResultSorter::sort(int filter, int column, bool descending, std::function<void()> done) {
  std::lock_guard lock(sortLock_);
  stopFlag_ = true;
  if (thread_.joinable()) thread_.join();
  stopFlag_ = false;
  thread_ = std::thread([this, filter, column, descending, done = std::move(done)] {
    SortSnapshot snapshot = store_.snapshotForSort(filter);
    if (stopFlag_) return;
    RecordComparator comparator = columnComparator(column, descending);
    if (!sortRows(snapshot, comparator, stopFlag_)) return;
    std::vector<uint32_t> rows = std::move(snapshot.rows);
    store_.installSortedOrder(std::move(rows), std::move(comparator), snapshot);
    if (done) done();
  });
}

void ResultSorter::stop() {
  std::lock_guard lock(sortLock_);
  stopFlag_ = true;
  if (thread_.joinable()) thread_.join();
  stopFlag_ = false;
}

void ResultSorter::wait() {
  std::lock_guard lock(sortLock_);
  if (thread_.joinable()) thread_.join();
}

}  // namespace tallyvane
