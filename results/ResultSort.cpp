#include "results/ResultSort.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <memory>
#include <new>
#include <utility>

#include "base/AlternateSignalStack.h"
#include "results/LargePages.h"

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

// Calls each(i, record) for every row of the snapshot. A key is a few dependent reads (record,
// first response, field): asking for each record some rows ahead, and for its first response
// half as far ahead, overlaps their waits for memory (results_bench, status sort of 1 M rows:
// 0.035 s, 0.039 s without).
template <typename Each>
void forEachRecord(const SortSnapshot& snapshot, const std::atomic<bool>& stop, Each each) {
  constexpr size_t kAhead = 16;
  const IndexList& rows = snapshot.rows;
  for (size_t i = 0; i < rows.size(); ++i) {
    if ((i & 0xFFFF) == 0 && stop.load(std::memory_order_relaxed)) throw SortStopped{};
    if (i + kAhead < rows.size()) __builtin_prefetch(&snapshot.record(rows[i + kAhead]));
    if (i + kAhead / 2 < rows.size()) __builtin_prefetch(snapshot.record(rows[i + kAhead / 2]).responses);
    each(i, snapshot.record(rows[i]));
  }
}

// Each row of a numeric column as one word: its number, less the lowest (or the highest less
// it, descending), above its record index. Distinct words need no tie-break, rows arrive in store
// order, so a stable radix sort on the number's bits alone orders them fully: a pass or two over
// eight bytes a row where a comparison sort of keys moves three times as much, log n times.
class PackedNumbers {
 public:
  // False when the numbers' range and the record indices do not fit in one word together.
  bool take(const SortSnapshot& snapshot, const ColumnOrder& order, const std::atomic<bool>& stop) {
    assert(std::is_sorted(snapshot.rows.begin(), snapshot.rows.end()));
    const size_t n = snapshot.rows.size();
    words_.resize(n);
    uint64_t lowest = ~uint64_t{0}, highest = 0;
    forEachRecord(snapshot, stop, [&](size_t i, const ResultRecord& record) {
      const uint64_t bits = orderedBits(order.keyOf(record).number);
      words_[i] = bits;
      lowest = std::min(lowest, bits);
      highest = std::max(highest, bits);
    });
    if (n == 0) return true;
    rowBits_ = static_cast<unsigned>(std::bit_width(uint64_t{snapshot.rows.back()}));
    keyBits_ = static_cast<unsigned>(std::bit_width(highest - lowest));
    if (rowBits_ + keyBits_ > 64) return false;
    descending_ = order.descending();
    base_ = descending_ ? highest : lowest;
    for (size_t i = 0; i < n; ++i) {
      const uint64_t key = descending_ ? base_ - words_[i] : words_[i] - base_;
      words_[i] = key << rowBits_ | snapshot.rows[i];
    }
    return true;
  }

  // Least significant digit first, up to eleven bits a pass: the counts stay in the first cache.
  void sort(const std::atomic<bool>& stop) {
    if (keyBits_ == 0) return;
    const unsigned passes = (keyBits_ + 10) / 11;
    const unsigned digitBits = (keyBits_ + passes - 1) / passes;
    const uint64_t digitMask = (uint64_t{1} << digitBits) - 1;
    LargeVector<uint64_t> scratch(words_.size());
    std::vector<size_t> starts(size_t{1} << digitBits);
    for (unsigned pass = 0; pass < passes; ++pass) {
      const unsigned shift = rowBits_ + pass * digitBits;
      std::fill(starts.begin(), starts.end(), 0);
      for (const uint64_t word : words_) ++starts[word >> shift & digitMask];
      if (std::find(starts.begin(), starts.end(), words_.size()) != starts.end()) continue;  // one digit
      size_t start = 0;
      for (size_t& count : starts) start += std::exchange(count, start);
      for (size_t i = 0; i < words_.size(); ++i) {
        if ((i & 0xFFFF) == 0 && stop.load(std::memory_order_relaxed)) throw SortStopped{};
        const uint64_t word = words_[i];
        scratch[starts[word >> shift & digitMask]++] = word;
      }
      words_.swap(scratch);
    }
  }

  size_t size() const { return words_.size(); }
  uint32_t row(size_t i) const { return static_cast<uint32_t>(words_[i] & ((uint64_t{1} << rowBits_) - 1)); }
  ColumnKey key(size_t i) const {
    const uint64_t key = words_[i] >> rowBits_;
    return ColumnKey{fromOrderedBits(descending_ ? base_ - key : base_ + key), {}};
  }

 private:
  LargeVector<uint64_t> words_;
  uint64_t base_ = 0;
  unsigned rowBits_ = 0;
  unsigned keyBits_ = 0;
  bool descending_ = false;
};

// Text columns, and numbers too far apart to pack: each row's key beside it, sorted by comparison
// on eight bytes at a time.
class KeyedRows {
 public:
  struct Entry {
    uint64_t chunk;  // the number (offset to sort unsigned), or while sorting eight bytes of text
    const char* text;
    uint32_t length;
    uint32_t row;
  };

  explicit KeyedRows(const ColumnOrder& order) : order_(order) {}

  void take(const SortSnapshot& snapshot, const std::atomic<bool>& stop) {
    entries_.resize(snapshot.rows.size());
    forEachRecord(snapshot, stop, [&](size_t i, const ResultRecord& record) {
      const ColumnKey key = order_.keyOf(record);
      entries_[i] = Entry{orderedBits(key.number), storedText(key.text), static_cast<uint32_t>(key.text.size()), snapshot.rows[i]};
    });
  }

  void sort(const std::atomic<bool>& stop) {
    StopCheck stopCheck(stop);
    if (!order_.hasText()) {
      sortByChunk(0, entries_.size(), stopCheck, [](size_t, size_t) {});
    } else if (order_.hintUsesPrefix()) {
      sortByText(0, entries_.size(), sharedPrefixLength(), stopCheck);
    } else {
      sortByChunk(0, entries_.size(), stopCheck, [&](size_t begin, size_t end) {
        // The test result: its reasons within each verdict, then the verdict back in place.
        const uint64_t verdict = entries_[begin].chunk;
        sortByText(begin, end, 0, stopCheck);
        for (size_t i = begin; i < end; ++i) entries_[i].chunk = verdict;
      });
    }
  }

  size_t size() const { return entries_.size(); }
  uint32_t row(size_t i) const { return entries_[i].row; }
  ColumnKey key(size_t i) const {
    const Entry& e = entries_[i];
    return ColumnKey{order_.numbered() ? fromOrderedBits(e.chunk) : 0, std::string_view(e.text, e.length)};
  }

 private:
  // Orders [begin, end) by chunk, equal chunks in store order; returns the runs of equal chunks
  // through each(begin, end).
  template <typename EachRun>
  void sortByChunk(size_t begin, size_t end, StopCheck& stopCheck, EachRun each) {
    const bool descending = order_.descending();
    std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(begin), entries_.begin() + static_cast<std::ptrdiff_t>(end),
              [&](const Entry& a, const Entry& b) {
                stopCheck();
                if (a.chunk != b.chunk) return descending ? a.chunk > b.chunk : a.chunk < b.chunk;
                return a.row < b.row;
              });
    for (size_t run = begin; run < end;) {
      size_t next = run + 1;
      while (next < end && entries_[next].chunk == entries_[run].chunk) ++next;
      if (next - run > 1) each(run, next);
      run = next;
    }
  }

  // Orders [begin, end), whose texts agree on their first depth bytes, eight bytes at a time:
  // each run that still agrees is sorted again on its next eight bytes. An explicit stack keeps
  // long shared prefixes from deepening the call stack.
  void sortByText(size_t begin, size_t end, size_t depth, StopCheck& stopCheck) {
    struct Range {
      size_t begin, end, depth;
    };
    std::vector<Range> pending{{begin, end, depth}};
    while (!pending.empty()) {
      const Range range = pending.back();
      pending.pop_back();
      for (size_t i = range.begin; i < range.end; ++i) {
        entries_[i].chunk = eightBytesAt(std::string_view(entries_[i].text, entries_[i].length), range.depth);
      }
      sortByChunk(range.begin, range.end, stopCheck, [&](size_t runBegin, size_t runEnd) {
        // A zero last byte means the texts ended within these eight bytes: the run is all equal.
        if ((entries_[runBegin].chunk & 0xFF) != 0) pending.push_back({runBegin, runEnd, range.depth + 8});
      });
    }
  }

  // The bytes every text shares at its start, which need not be compared at all.
  size_t sharedPrefixLength() const {
    if (entries_.empty()) return 0;
    std::string_view shared(entries_[0].text, entries_[0].length);
    for (const Entry& e : entries_) {
      shared = sharedPrefix(shared, std::string_view(e.text, e.length));
      if (shared.empty()) break;
    }
    return shared.size();
  }

  const ColumnOrder& order_;
  LargeVector<Entry> entries_;
};

template <typename Rows>
std::unique_ptr<SortedOrder> orderOf(const Rows& rows, const ColumnOrder& order) {
  return std::make_unique<SortedOrder>(order, rows.size(), [&](size_t i) { return rows.row(i); },
                                       [&](size_t i) { return rows.key(i); });
}

}  // namespace

std::unique_ptr<SortedOrder> sortRows(const SortSnapshot& snapshot, const ColumnOrder& order,
                                      const std::atomic<bool>& stop) {
  try {
    if (!order.hasText()) {
      PackedNumbers numbers;
      if (numbers.take(snapshot, order, stop)) {
        numbers.sort(stop);
        return stop.load() ? nullptr : orderOf(numbers, order);
      }
    }
    KeyedRows rows(order);
    rows.take(snapshot, stop);
    rows.sort(stop);
    return stop.load() ? nullptr : orderOf(rows, order);
  } catch (const SortStopped&) {
    return nullptr;
  }
}

void ResultSorter::sort(Filter filter, int column, bool descending, std::function<void()> done) {
  std::lock_guard lock(sortLock_);
  stopFlag_ = true;
  if (thread_.joinable()) thread_.join();
  stopFlag_ = false;
  thread_ = std::thread([this, filter, column, descending, done = std::move(done)] {
    const AlternateSignalStack signalStack;
    try {
      const ColumnOrder order(column, descending);
      SortSnapshot snapshot = store_.snapshotForSort(filter);
      if (stopFlag_) return;
      std::unique_ptr<SortedOrder> sorted = sortRows(snapshot, order, stopFlag_);
      if (!sorted) return;
      // Rows that came in while sorting are inserted here, off the store lock; those that come
      // in from now on, under it when the order is installed.
      const SortSnapshot added = store_.rowsAddedSince(snapshot);
      for (const uint32_t row : added.rows) {
        if (stopFlag_) return;
        sorted->insertRow(row, order.keyOf(added.record(row)));
      }
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
