#pragma once
// The rows of a sorted view, as record indices kept in blocks of 256 to 512: inserting a row
// costs a binary search and a move within one block, and finding a row by its number a binary
// descent over the blocks' row counts, so a view of ten million rows keeps up with a crawl.
//
// Beside each index lies a word of its key (ColumnOrder::hint), relative to a prefix its block's
// texts share, and for a column with text the text itself: the search compares words in the
// block and reads a text only where two words tie, never the record. Each block's first key and
// its word relative to a prefix all rows share keep the search over blocks compact as well.
// Blocks get their room from large pages of the order's own, so building a view of millions of
// rows does not fault in small pages one by one.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "results/Arena.h"
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
  static constexpr size_t kBlockEntries = 256;

  // count rows in order: rowAt(i) the record index of the i-th, keyAt(i) its key. Every key's
  // text must be the store's own (storedText) and stay while the order lives. Throws
  // std::bad_alloc.
  template <typename RowAt, typename KeyAt>
  SortedOrder(ColumnOrder order, size_t count, RowAt rowAt, KeyAt keyAt);

  const ColumnOrder& order() const { return order_; }
  size_t size() const { return size_; }
  uint32_t at(size_t row) const;
  // Rows first.. into out, as many as fit or are left; how many. One look-up, then block by block.
  size_t copyRows(size_t first, std::span<uint32_t> out) const;

  // Where a row goes: after every entry it does not precede. O(log n) comparisons.
  struct Place {
    size_t block = 0;
    size_t offset = 0;
    uint64_t hint = 0;      // relative to the block's prefix
    uint64_t headHint = 0;  // relative to the prefix of all rows
  };
  Place find(const ColumnKey& key) const;
  // Makes room for one entry at place (and for a split); throws std::bad_alloc, so that insert()
  // after it cannot fail.
  void makeRoom(const Place& place);
  // key as for the constructor.
  void insert(const Place& place, uint32_t index, const ColumnKey& key);
  // All three at once; throws std::bad_alloc before it changes anything.
  void insertRow(uint32_t index, const ColumnKey& key) {
    const Place place = find(key);
    makeRoom(place);
    insert(place, index, key);
  }

  size_t memoryBytes() const;

 private:
  static constexpr size_t kRoom = 2 * kBlockEntries + 1;
  struct Block {
    uint64_t* hints = nullptr;     // kRoom each
    const char** texts = nullptr;  // only for a column with text
    uint32_t* rows = nullptr;
    size_t size = 0;
    std::string_view prefix;  // the hints are relative to it
    ColumnKey head;           // the key of the first row
  };

  Block newBlock();
  ColumnKey keyOf(const Block& block, size_t i) const {
    return ColumnKey{order_.numberOf(block.hints[i]), block.texts ? textOf(block.texts[i]) : std::string_view()};
  }
  void put(Block& block, size_t i, uint64_t hint, uint32_t index, const ColumnKey& key) {
    block.hints[i] = hint;
    if (block.texts) block.texts[i] = storedText(key.text);
    block.rows[i] = index;
  }
  // Whether the new row goes before an entry; entryKey() is asked only where the words tie.
  template <typename EntryKey>
  bool precedes(const ColumnKey& key, uint64_t hint, uint64_t entryHint, EntryKey entryKey) const {
    if (hint != entryHint) return hint < entryHint;
    return !order_.hintIsWholeKey() && order_.before(key, entryKey());
  }
  void countBlocks() {
    counts_.assign(blocks_.size(), [this](size_t b) { return blocks_[b].size; });
  }
  // Splits a block that has outgrown its room into the spare block.
  void split(size_t block);
  // After a split a block's rows may share more than its prefix: their words are taken again
  // relative to the longer prefix.
  void tightenPrefix(Block& block);
  // The same for the words of the blocks' first keys.
  void tightenHeadPrefix();

  ColumnOrder order_;
  Arena rooms_;                      // every block's arrays
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
  // allocate nor split for a while.
  constexpr size_t kStartEntries = kBlockEntries * 3 / 2;
  blocks_.reserve(count / kStartEntries + 1);
  headHints_.reserve(blocks_.capacity());
  for (size_t at = 0; at < count; at += kStartEntries) {
    const size_t end = std::min(count, at + kStartEntries);
    Block block = newBlock();
    block.head = keyAt(at);
    if (order_.hintUsesPrefix()) block.prefix = sharedPrefix(block.head.text, keyAt(end - 1).text);
    for (size_t i = at; i < end; ++i) {
      const ColumnKey key = keyAt(i);
      put(block, block.size++, order_.hint(key, block.prefix), rowAt(i), key);
    }
    headHints_.push_back(order_.hint(block.head, prefix_));
    blocks_.push_back(block);
  }
  size_ = count;
  countBlocks();
}

}  // namespace tallyvane
