#include "results/ResultSort.h"

#include <algorithm>
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

using SortKey = SortedRows::Entry;

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
                return a.row < b.row;
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
      for (size_t i = range.begin; i < range.end; ++i) keys_[i].chunk = eightBytesAt(std::string_view(keys_[i].text, keys_[i].length), range.depth);
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

}  // namespace

bool sortRows(const SortSnapshot& snapshot, const ColumnOrder& order, const std::atomic<bool>& stop, SortedRows& sorted) {
  std::vector<SortKey>& keys = sorted.entries_;
  sorted.numbered_ = !order.hintUsesPrefix();
  keys.resize(snapshot.rows.size());
  // Until the sort is done, row holds the place in snapshot.rows, which breaks ties.
  for (size_t i = 0; i < keys.size(); ++i) {
    const ColumnKey key = order.keyOf(snapshot.record(snapshot.rows[i]));
    keys[i] = SortKey{orderedBits(key.number), key.text.data(), static_cast<uint32_t>(key.text.size()), static_cast<uint32_t>(i)};
  }
  try {
    KeySorter sorter(keys, order.descending(), stop);
    if (!order.hasText()) {
      sorter.sortByChunk(0, keys.size(), [](size_t, size_t) {});
    } else if (order.hintUsesPrefix()) {
      sorter.sortByText(0, keys.size(), sharedPrefixLength(keys));
    } else {
      sorter.sortByChunk(0, keys.size(), [&](size_t begin, size_t end) {
        // The test result: its reasons within each verdict, then the verdict back in place.
        const uint64_t verdict = keys[begin].chunk;
        sorter.sortByText(begin, end, 0);
        for (size_t i = begin; i < end; ++i) keys[i].chunk = verdict;
      });
    }
  } catch (const SortStopped&) {
    return false;
  }
  if (stop.load()) return false;
  for (SortKey& key : keys) key.row = snapshot.rows[key.row];
  return true;
}

void mergeAfterEquals(SortedRows& sorted, const SortedRows& added, const ColumnOrder& order) {
  std::vector<SortedRows::Entry> merged;
  merged.reserve(sorted.size() + added.size());
  size_t from = 0;
  for (size_t k = 0; k < added.size(); ++k) {
    const ColumnKey key = added.key(k);
    size_t to = from, count = sorted.size() - from;
    while (count > 0) {  // the first entry that key precedes
      const size_t half = count / 2;
      if (order.before(key, sorted.key(to + half))) {
        count = half;
      } else {
        to += half + 1;
        count -= half + 1;
      }
    }
    merged.insert(merged.end(), sorted.entries_.begin() + static_cast<std::ptrdiff_t>(from),
                  sorted.entries_.begin() + static_cast<std::ptrdiff_t>(to));
    merged.push_back(added.entries_[k]);
    from = to;
  }
  merged.insert(merged.end(), sorted.entries_.begin() + static_cast<std::ptrdiff_t>(from), sorted.entries_.end());
  sorted.entries_ = std::move(merged);
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
      SortedRows sorted;
      if (stopFlag_ || !sortRows(snapshot, order, stopFlag_, sorted)) return;
      // Rows that came in while sorting are sorted the same way and merged in once, here,
      // rather than inserted one by one under the store lock.
      SortSnapshot added = store_.rowsAddedSince(snapshot);
      if (!added.rows.empty()) {
        SortedRows addedSorted;
        if (!sortRows(added, order, stopFlag_, addedSorted)) return;
        mergeAfterEquals(sorted, addedSorted, order);
      }
      auto sortedOrder = std::make_unique<SortedOrder>(order, sorted.size(), [&](size_t i) { return sorted.row(i); },
                                                       [&](size_t i) { return sorted.key(i); });
      sorted = {};
      if (stopFlag_) return;
      store_.installSortedOrder(std::move(sortedOrder), snapshot);
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
