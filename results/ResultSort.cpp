#include "results/ResultSort.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tallyvane {
namespace {

int compareNumbers(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Byte order, an absent text counting as empty.
int compareTexts(const char* a, const char* b) {
  const int order = std::strcmp(a ? a : "", b ? b : "");
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

const char* finalUrl(const ResultRecord& r) { return r.responseCount > 1 ? r.last().url : nullptr; }

bool isTextColumn(int column) {
  switch (column) {
    case kUrlColumn:
    case kTypeColumn:
    case kStatusColumn:
    case kXRobotsTagColumn:
    case kVaryColumn:
    case kFinalUrlColumn:
      return true;
    default:
      return false;
  }
}

// The text a text column compares; for the test result, the reasons after the verdict.
const char* textKeyOf(int column, const ResultRecord& r) {
  const ResponseRecord& first = r.first();
  switch (column) {
    case kUrlColumn: return first.url;
    case kTypeColumn: return first.type;
    case kStatusColumn: return first.statusText;
    case kXRobotsTagColumn: return first.xRobotsTag;
    case kVaryColumn: return first.vary;
    case kFinalUrlColumn: return finalUrl(r);
    case kTestResultColumn: return r.testReason;
    default: return nullptr;
  }
}

// The number a numeric column compares; for the test result, the verdict before the reasons.
int64_t numberKeyOf(int column, const ResultRecord& r) {
  const ResponseRecord& first = r.first();
  switch (column) {
    case kStatusCodeColumn: return first.statusCode;
    case kSizeColumn: return first.size;
    case kResponseTimeColumn: return first.responseTime;
    case kRedirectsColumn: return r.responseCount;
    case kLinkHeadersColumn: return first.linkCount;
    case kTestResultColumn: return r.testPassed;
    default: return 0;
  }
}

int compareAscending(int column, const ResultRecord& a, const ResultRecord& b) {
  if (column == kTestResultColumn) {
    const int passed = compareNumbers(a.testPassed, b.testPassed);
    return passed != 0 ? passed : compareTexts(a.testReason, b.testReason);
  }
  if (isTextColumn(column)) return compareTexts(textKeyOf(column, a), textKeyOf(column, b));
  return compareNumbers(numberKeyOf(column, a), numberKeyOf(column, b));
}

struct SortStopped {};

// Leaves a sort in progress, from inside std::sort, every few thousand comparisons.
class StopCheck {
 public:
  explicit StopCheck(const std::atomic<bool>& stop) : stop_(stop) {}
  void operator()() {
    if ((++calls_ & 4095) == 0 && stop_.load(std::memory_order_relaxed)) throw SortStopped{};
  }

 private:
  const std::atomic<bool>& stop_;
  size_t calls_ = 0;
};

// A row's key, taken once before sorting. Ties are broken by the row's place before the sort,
// which is store order: the sort is stable without paying for a stable algorithm.
struct SortKey {
  uint64_t chunk;  // a number (offset to sort unsigned), or 8 bytes of text read big-endian
  const char* text;
  uint32_t length;
  uint32_t position;
};

uint64_t orderedBits(int64_t value) { return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63); }

// Text bytes depth..depth+7, zero past the end: stored text holds no zero byte, so a shorter text
// sorts first, as strcmp orders it.
uint64_t chunkAt(const SortKey& key, size_t depth) {
  unsigned char bytes[8] = {};
  if (depth < key.length) std::memcpy(bytes, key.text + depth, std::min<size_t>(8, key.length - depth));
  uint64_t chunk = 0;
  for (const unsigned char byte : bytes) chunk = chunk << 8 | byte;
  return chunk;
}

class KeySorter {
 public:
  KeySorter(std::vector<SortKey>& keys, bool descending, const std::atomic<bool>& stop)
      : keys_(keys), descending_(descending), stopCheck_(stop) {}

  // Orders [begin, end) by chunk; returns the runs of equal chunks through each(begin, end).
  template <typename EachRun>
  void sortByChunk(size_t begin, size_t end, EachRun each) {
    const bool descending = descending_;
    std::sort(keys_.begin() + static_cast<std::ptrdiff_t>(begin), keys_.begin() + static_cast<std::ptrdiff_t>(end),
              [&](const SortKey& a, const SortKey& b) {
                stopCheck_();
                if (a.chunk != b.chunk) return descending ? a.chunk > b.chunk : a.chunk < b.chunk;
                return a.position < b.position;
              });
    for (size_t run = begin; run < end;) {
      size_t next = run + 1;
      while (next < end && keys_[next].chunk == keys_[run].chunk) ++next;
      if (next - run > 1) each(run, next);
      run = next;
    }
  }

  // Orders [begin, end), whose texts agree on their first depth bytes, eight bytes at a time:
  // each run that still agrees is sorted again on its next eight bytes. An explicit stack keeps
  // long shared prefixes from deepening the call stack.
  void sortByText(size_t begin, size_t end, size_t depth) {
    struct Range {
      size_t begin, end, depth;
    };
    std::vector<Range> pending{{begin, end, depth}};
    while (!pending.empty()) {
      const Range range = pending.back();
      pending.pop_back();
      for (size_t i = range.begin; i < range.end; ++i) keys_[i].chunk = chunkAt(keys_[i], range.depth);
      sortByChunk(range.begin, range.end, [&](size_t runBegin, size_t runEnd) {
        // A zero last byte means the texts ended within these eight bytes: the run is all equal.
        if ((keys_[runBegin].chunk & 0xFF) != 0) pending.push_back({runBegin, runEnd, range.depth + 8});
      });
    }
  }

 private:
  std::vector<SortKey>& keys_;
  bool descending_;
  StopCheck stopCheck_;
};

// The bytes every text shares at its start, which need not be compared at all.
size_t sharedPrefix(const std::vector<SortKey>& keys) {
  if (keys.empty()) return 0;
  size_t shared = keys[0].length;
  for (const SortKey& key : keys) {
    shared = std::min<size_t>(shared, key.length);
    shared = static_cast<size_t>(std::mismatch(key.text, key.text + shared, keys[0].text).first - key.text);
    if (shared == 0) break;
  }
  return shared;
}

}  // namespace

RecordComparator columnComparator(int column, bool descending) {
  return [column, descending](const ResultRecord& a, const ResultRecord& b) {
    const int order = compareAscending(column, a, b);
    return descending ? -order : order;
  };
}

bool sortRows(SortSnapshot& snapshot, int column, bool descending, const std::atomic<bool>& stop) {
  std::vector<SortKey> keys(snapshot.rows.size());
  const bool text = isTextColumn(column) || column == kTestResultColumn;
  for (size_t i = 0; i < keys.size(); ++i) {
    const ResultRecord& record = snapshot.record(snapshot.rows[i]);
    const std::string_view value = text ? textOf(textKeyOf(column, record)) : std::string_view();
    keys[i] = SortKey{orderedBits(numberKeyOf(column, record)), value.data(), static_cast<uint32_t>(value.size()),
                      static_cast<uint32_t>(i)};
  }
  try {
    KeySorter sorter(keys, descending, stop);
    if (column == kTestResultColumn) {
      sorter.sortByChunk(0, keys.size(), [&](size_t begin, size_t end) { sorter.sortByText(begin, end, 0); });
    } else if (text) {
      sorter.sortByText(0, keys.size(), sharedPrefix(keys));
    } else {
      sorter.sortByChunk(0, keys.size(), [](size_t, size_t) {});
    }
  } catch (const SortStopped&) {
    return false;
  }
  if (stop.load()) return false;
  std::vector<uint32_t> rows(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) rows[i] = snapshot.rows[keys[i].position];
  snapshot.rows = std::move(rows);
  return true;
}

void ResultSorter::sort(int filter, int column, bool descending, std::function<void()> done) {
  std::lock_guard lock(sortLock_);
  stopFlag_ = true;
  if (thread_.joinable()) thread_.join();
  stopFlag_ = false;
  thread_ = std::thread([this, filter, column, descending, done = std::move(done)] {
    try {
      SortSnapshot snapshot = store_.snapshotForSort(filter);
      if (stopFlag_ || !sortRows(snapshot, column, descending, stopFlag_)) return;
      // Rows that came in while sorting are sorted the same way and merged in once, here,
      // rather than inserted one by one under the store lock.
      SortSnapshot added = store_.rowsAddedSince(snapshot);
      RecordComparator comparator = columnComparator(column, descending);
      if (!added.rows.empty()) {
        if (!sortRows(added, column, descending, stopFlag_)) return;
        snapshot.rows = mergeAfterEquals(snapshot.rows, added.rows, [&](uint32_t a, uint32_t b) {
          return comparator(added.record(a), added.record(b)) < 0;
        });
      }
      store_.installSortedOrder(std::move(snapshot.rows), std::move(comparator), snapshot);
      if (done) done();
    } catch (const std::bad_alloc&) {
      // Not enough memory for the order: the view stays as it was.
    }
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
