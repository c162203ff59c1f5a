#include "results/ResultSort.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace tallyvane {
namespace {

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
int64_t fromOrderedBits(uint64_t bits) { return static_cast<int64_t>(bits ^ (uint64_t{1} << 63)); }

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
size_t sharedPrefixLength(const std::vector<SortKey>& keys) {
  if (keys.empty()) return 0;
  size_t shared = keys[0].length;
  for (const SortKey& key : keys) {
    shared = std::min<size_t>(shared, key.length);
    shared = static_cast<size_t>(std::mismatch(key.text, key.text + shared, keys[0].text).first - key.text);
    if (shared == 0) break;
  }
  return shared;
}

// Merges added (sorted, and later in store order than every row of sorted) into sorted, each
// added row after its equals: k binary searches and one pass of copying.
void mergeAfterEquals(SortSnapshot& sorted, const SortSnapshot& added, const ColumnOrder& order) {
  std::vector<uint32_t> rows;
  std::vector<ColumnKey> keys;
  rows.reserve(sorted.rows.size() + added.rows.size());
  keys.reserve(rows.capacity());
  size_t from = 0;
  for (size_t k = 0; k < added.rows.size(); ++k) {
    const ColumnKey& key = added.keys[k];
    const auto to = static_cast<size_t>(
        std::upper_bound(sorted.keys.begin() + static_cast<std::ptrdiff_t>(from), sorted.keys.end(), key,
                         [&](const ColumnKey& a, const ColumnKey& b) { return order.before(a, b); }) -
        sorted.keys.begin());
    rows.insert(rows.end(), sorted.rows.begin() + static_cast<std::ptrdiff_t>(from), sorted.rows.begin() + static_cast<std::ptrdiff_t>(to));
    keys.insert(keys.end(), sorted.keys.begin() + static_cast<std::ptrdiff_t>(from), sorted.keys.begin() + static_cast<std::ptrdiff_t>(to));
    rows.push_back(added.rows[k]);
    keys.push_back(key);
    from = to;
  }
  rows.insert(rows.end(), sorted.rows.begin() + static_cast<std::ptrdiff_t>(from), sorted.rows.end());
  keys.insert(keys.end(), sorted.keys.begin() + static_cast<std::ptrdiff_t>(from), sorted.keys.end());
  sorted.rows = std::move(rows);
  sorted.keys = std::move(keys);
}

}  // namespace

bool sortRows(SortSnapshot& snapshot, const ColumnOrder& order, const std::atomic<bool>& stop) {
  std::vector<SortKey> keys(snapshot.rows.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const ColumnKey key = order.keyOf(snapshot.record(snapshot.rows[i]));
    keys[i] = SortKey{orderedBits(key.number), key.text.data(), static_cast<uint32_t>(key.text.size()), static_cast<uint32_t>(i)};
  }
  // The test result's runs of one verdict, whose words the sort of their reasons overwrites.
  struct VerdictRun {
    size_t begin, end;
    uint64_t verdict;
  };
  std::vector<VerdictRun> verdictRuns;
  try {
    KeySorter sorter(keys, order.descending(), stop);
    if (!order.hasText()) {
      sorter.sortByChunk(0, keys.size(), [](size_t, size_t) {});
    } else if (order.hintUsesPrefix()) {
      sorter.sortByText(0, keys.size(), sharedPrefixLength(keys));
    } else {
      sorter.sortByChunk(0, keys.size(), [&](size_t begin, size_t end) {
        verdictRuns.push_back({begin, end, keys[begin].chunk});
        sorter.sortByText(begin, end, 0);
      });
    }
  } catch (const SortStopped&) {
    return false;
  }
  if (stop.load()) return false;
  std::vector<uint32_t> rows(keys.size());
  snapshot.keys.resize(keys.size());
  const bool numbered = !order.hintUsesPrefix();
  for (size_t i = 0; i < keys.size(); ++i) {
    rows[i] = snapshot.rows[keys[i].position];
    snapshot.keys[i] = ColumnKey{numbered ? fromOrderedBits(keys[i].chunk) : 0, std::string_view(keys[i].text, keys[i].length)};
  }
  for (const VerdictRun& run : verdictRuns) {
    for (size_t i = run.begin; i < run.end; ++i) snapshot.keys[i].number = fromOrderedBits(run.verdict);
  }
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
      const ColumnOrder order(column, descending);
      SortSnapshot snapshot = store_.snapshotForSort(filter);
      if (stopFlag_ || !sortRows(snapshot, order, stopFlag_)) return;
      // Rows that came in while sorting are sorted the same way and merged in once, here,
      // rather than inserted one by one under the store lock.
      SortSnapshot added = store_.rowsAddedSince(snapshot);
      if (!added.rows.empty()) {
        if (!sortRows(added, order, stopFlag_)) return;
        mergeAfterEquals(snapshot, added, order);
      }
      auto sorted = std::make_unique<SortedOrder>(order, snapshot.rows, snapshot.keys);
      std::vector<uint32_t>().swap(snapshot.rows);
      std::vector<ColumnKey>().swap(snapshot.keys);
      if (stopFlag_) return;
      store_.installSortedOrder(std::move(sorted), snapshot);
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
