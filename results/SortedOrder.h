#pragma once
// The rows of a sorted view, as record indices kept in blocks of 512 to 1,024: inserting a row
// costs a binary search and a move within one block, and finding a row by its number a binary
// descent over the blocks' row counts, so a view of ten million rows keeps up with a crawl.
//
// Beside each index lies a word of its key (ColumnOrder::hint), relative to a prefix its block's
// texts share, so the search compares words in the block itself and reaches a record only where
// two words tie. Each block's first key and its word relative to a prefix all rows share keep the
// search over blocks compact as well.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "results/ColumnOrder.h"

namespace tallyvane {

// The number of rows in each block, as a Fenwick tree: counting one more row and finding which
// block holds row r both cost O(log blocks), where a list of first rows would be O(blocks).
class BlockCounts {
 public:
  // Counts blocks whose sizes sizeOf(b) gives; within the room reserveFor made, it cannot fail.
  template <typename SizeOf>
  void assign(size_t blocks, SizeOf sizeOf) {
    tree_.assign(blocks + 1, 0);
    for (size_t i = 1; i <= blocks; ++i) {
      tree_[i] += static_cast<uint32_t>(sizeOf(i - 1));
      const size_t parent = i + (i & (~i + 1));
      if (parent <= blocks) tree_[parent] += tree_[i];
    }
    topBit_ = 1;
    while (topBit_ * 2 <= blocks) topBit_ *= 2;
  }
  void reserveFor(size_t blocks) { tree_.reserve(blocks + 1); }
  void add(size_t block);  // one row more
  // The block that holds row, and the row's offset in it; row must be below the total.
  std::pair<size_t, size_t> locate(size_t row) const;
  size_t memoryBytes() const { return tree_.capacity() * sizeof(uint32_t); }

 private:
  std::vector<uint32_t> tree_;  // 1-based
  size_t topBit_ = 0;
};

class SortedOrder {
 public:
  // A block splits in two when it doubles. Small enough that moving half a block on an insert
  // costs little even when it comes from memory, not the cache.
  static constexpr size_t kBlockEntries = 512;

  // count rows in order: rowAt(i) the record index of the i-th, keyAt(i) its key, whose text
  // must stay where it is while the order lives.
  template <typename RowAt, typename KeyAt>
  SortedOrder(ColumnOrder order, size_t count, RowAt rowAt, KeyAt keyAt);

  const ColumnOrder& order() const { return order_; }
  size_t size() const { return size_; }
  uint32_t at(size_t row) const;

  // Where a row goes: after every entry it does not precede. keyAt(index) gives an entry's key,
  // needed only where words tie. O(log n) comparisons.
  struct Place {
    size_t block = 0;
    size_t offset = 0;
    uint64_t hint = 0;      // relative to the block's prefix
    uint64_t headHint = 0;  // relative to the prefix of all rows
  };
  template <typename KeyAt>
  Place find(const ColumnKey& key, KeyAt keyAt) const;
  // Makes room for one entry at place (and for a split); throws std::bad_alloc, so that insert()
  // after it cannot fail.
  void makeRoom(const Place& place);
  template <typename KeyAt>
  void insert(const Place& place, uint32_t index, const ColumnKey& key, KeyAt keyAt);

  size_t memoryBytes() const;

 private:
  struct Block {
    std::vector<uint32_t> rows;
    std::vector<uint64_t> hints;
    std::string_view prefix;  // the hints are relative to it
    ColumnKey head;           // the key of the first row
  };

  // Whether the new row goes before an entry; entryKey() is asked only where the words tie.
  template <typename EntryKey>
  bool precedes(const ColumnKey& key, uint64_t hint, uint64_t entryHint, EntryKey entryKey) const {
    if (hint != entryHint) return hint < entryHint;
    return !order_.hintIsWholeKey() && order_.before(key, entryKey());
  }
  void insertEntry(const Place& place, uint32_t index, const ColumnKey& key);
  void countBlocks() {
    counts_.assign(blocks_.size(), [this](size_t b) { return blocks_[b].rows.size(); });
  }
  // Splits a block that has outgrown its room; the new block's first key is upperHead.
  void split(size_t block, const ColumnKey& upperHead);
  template <typename KeyAt>
  void tightenPrefix(Block& block, KeyAt keyAt);
  // The same for the words of the blocks' first keys; last is the key of the last row.
  void tightenHeadPrefix(const ColumnKey& last);

  ColumnOrder order_;
  std::vector<Block> blocks_;        // never an empty block but while the order is empty
  std::vector<uint64_t> headHints_;  // each block's first key's word relative to prefix_
  BlockCounts counts_;
  std::string_view prefix_;
  Block spare_;  // room for the next split, made in makeRoom
  size_t size_ = 0;
};

template <typename RowAt, typename KeyAt>
SortedOrder::SortedOrder(ColumnOrder order, size_t count, RowAt rowAt, KeyAt keyAt) : order_(order) {
  if (count == 0) return;
  if (order_.hintUsesPrefix()) prefix_ = sharedPrefix(keyAt(0).text, keyAt(count - 1).text);
  // Blocks start three quarters full, with their whole room: the inserts of a crawl then neither
  // allocate nor split for a while, and the room costs four bytes a row.
  constexpr size_t kStartEntries = kBlockEntries * 3 / 2;
  blocks_.reserve(count / kStartEntries + 1);
  headHints_.reserve(blocks_.capacity());
  for (size_t at = 0; at < count; at += kStartEntries) {
    const size_t end = std::min(count, at + kStartEntries);
    Block& block = blocks_.emplace_back();
    block.rows.reserve(2 * kBlockEntries + 1);
    block.hints.reserve(2 * kBlockEntries + 1);
    block.head = keyAt(at);
    if (order_.hintUsesPrefix()) block.prefix = sharedPrefix(block.head.text, keyAt(end - 1).text);
    for (size_t i = at; i < end; ++i) {
      block.rows.push_back(rowAt(i));
      block.hints.push_back(order_.hint(keyAt(i), block.prefix));
    }
    headHints_.push_back(order_.hint(block.head, prefix_));
  }
  size_ = count;
  countBlocks();
}

template <typename KeyAt>
SortedOrder::Place SortedOrder::find(const ColumnKey& key, KeyAt keyAt) const {
  Place place;
  place.headHint = order_.hint(key, prefix_);
  if (blocks_.empty()) {
    place.hint = order_.hint(key, {});  // the prefix of the block makeRoom creates
    return place;
  }
  // The last block whose first row does not follow the new row; then the place within it.
  size_t lo = 0, hi = blocks_.size();
  while (hi - lo > 1) {
    const size_t mid = lo + (hi - lo) / 2;
    if (precedes(key, place.headHint, headHints_[mid], [&] { return blocks_[mid].head; })) hi = mid;
    else lo = mid;
  }
  const Block& block = blocks_[lo];
  place.block = lo;
  place.hint = order_.hint(key, block.prefix);
  // The first four steps of the search each read a line of the block no other step reads; asking
  // for all fifteen at once waits for memory once rather than four times over.
  const size_t n = block.hints.size();
  for (size_t eighth = 1; eighth < 16; ++eighth) {
    __builtin_prefetch(block.hints.data() + n * eighth / 16);
    __builtin_prefetch(block.rows.data() + n * eighth / 16);  // for words that tie
  }
  size_t first = 0, last = n;
  while (first < last) {
    const size_t mid = first + (last - first) / 2;
    if (precedes(key, place.hint, block.hints[mid], [&] { return keyAt(block.rows[mid]); })) last = mid;
    else first = mid + 1;
  }
  place.offset = first;
  return place;
}

template <typename KeyAt>
void SortedOrder::insert(const Place& place, uint32_t index, const ColumnKey& key, KeyAt keyAt) {
  insertEntry(place, index, key);
  Block& block = blocks_[place.block];
  if (block.rows.size() <= 2 * kBlockEntries) return;
  split(place.block, keyAt(block.rows[kBlockEntries]));
  tightenPrefix(blocks_[place.block], keyAt);
  tightenPrefix(blocks_[place.block + 1], keyAt);
  tightenHeadPrefix(keyAt(blocks_.back().rows.back()));
}

// After a split a block's rows may share more than its prefix (always so in a view sorted while
// it was empty): their words are taken again relative to the longer prefix, once it is longer by
// half a word, so the words keep telling rows apart.
template <typename KeyAt>
void SortedOrder::tightenPrefix(Block& block, KeyAt keyAt) {
  if (!order_.hintUsesPrefix()) return;
  const std::string_view shared = sharedPrefix(block.head.text, keyAt(block.rows.back()).text);
  if (shared.size() < block.prefix.size() + 4) return;
  block.prefix = shared;
  for (size_t i = 0; i < block.rows.size(); ++i) block.hints[i] = order_.hint(keyAt(block.rows[i]), shared);
}

}  // namespace tallyvane
