#pragma once
// The rows of a sorted view, as record indices kept in blocks of a few thousand: inserting a row
// costs a binary search and a move within one block, and finding a row by its number a binary
// search over the blocks' first rows, so a view of ten million rows keeps up with a crawl.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tallyvane {

// Merges added (sorted by less, and later in store order than every row of sorted) into sorted,
// each added row after its equals: k binary searches and one pass of copying.
template <typename Less>
std::vector<uint32_t> mergeAfterEquals(const std::vector<uint32_t>& sorted, const std::vector<uint32_t>& added,
                                       Less less) {
  std::vector<uint32_t> merged;
  merged.reserve(sorted.size() + added.size());
  auto from = sorted.begin();
  for (const uint32_t row : added) {
    const auto to = std::upper_bound(from, sorted.end(), row, less);
    merged.insert(merged.end(), from, to);
    merged.push_back(row);
    from = to;
  }
  merged.insert(merged.end(), from, sorted.end());
  return merged;
}

class SortedOrder {
 public:
  static constexpr size_t kBlockEntries = 2048;  // a block splits in two when it doubles

  void assign(const std::vector<uint32_t>& rows);
  void clear();
  size_t size() const { return size_; }
  uint32_t at(size_t row) const;

  // Makes room for one more entry (and for a split); throws std::bad_alloc, so that insert() after it cannot fail.
  void reserveOne();
  // Inserts index after every entry it does not precede; precedes(entry) is true when the new
  // row goes before that entry. Costs O(log n) calls of precedes.
  template <typename Precedes>
  void insert(uint32_t index, Precedes precedes) {
    // The last block whose first entry does not follow the new row; then the place within it.
    size_t lo = 0, hi = blocks_.size();
    while (hi - lo > 1) {
      const size_t mid = lo + (hi - lo) / 2;
      if (precedes(blocks_[mid].front())) hi = mid;
      else lo = mid;
    }
    std::vector<uint32_t>& block = blocks_[lo];
    size_t first = 0, last = block.size();
    while (first < last) {
      const size_t mid = first + (last - first) / 2;
      if (precedes(block[mid])) last = mid;
      else first = mid + 1;
    }
    insertAt(lo, first, index);
  }

  size_t memoryBytes() const;

 private:
  void insertAt(size_t block, size_t offset, uint32_t index);

  std::vector<std::vector<uint32_t>> blocks_;  // never an empty block but while the order is empty
  std::vector<size_t> firstRows_;              // the row number of each block's first entry
  std::vector<uint32_t> spare_;                // room for the next split, made in reserveOne
  size_t size_ = 0;
};

}  // namespace tallyvane
