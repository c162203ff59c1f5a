#include "results/SortedOrder.h"

#include <algorithm>
#include <cstring>

namespace tallyvane {

void BlockCounts::add(size_t block) {
  for (size_t i = block + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
}

std::pair<size_t, size_t> BlockCounts::locate(size_t row) const {
  // The longest run of whole blocks whose rows all come before row.
  size_t blocks = 0;
  for (size_t step = topBit_; step > 0; step /= 2) {
    if (blocks + step < tree_.size() && tree_[blocks + step] <= row) {
      blocks += step;
      row -= tree_[blocks];
    }
  }
  return {blocks, row};
}

SortedOrder::Block SortedOrder::newBlock() {
  Block block;
  block.hints = rooms_.allocateArray<uint64_t>(kRoom);
  if (order_.hasText()) block.texts = rooms_.allocateArray<const char*>(kRoom);
  block.rows = rooms_.allocateArray<uint32_t>(kRoom);
  return block;
}

uint32_t SortedOrder::at(size_t row) const {
  const auto [block, offset] = counts_.locate(row);
  return blocks_[block].rows[offset];
}

size_t SortedOrder::copyRows(size_t first, std::span<uint32_t> out) const {
  if (first >= size_) return 0;
  auto [block, offset] = counts_.locate(first);
  size_t taken = 0;
  while (taken < out.size() && block < blocks_.size()) {
    const Block& current = blocks_[block];
    const size_t n = std::min(out.size() - taken, current.size - offset);
    std::copy_n(current.rows + offset, n, out.begin() + static_cast<std::ptrdiff_t>(taken));
    taken += n;
    ++block;
    offset = 0;
  }
  return taken;
}

SortedOrder::Place SortedOrder::find(const ColumnKey& key) const {
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
  size_t first = 0, last = block.size;
  while (first < last) {
    const size_t mid = first + (last - first) / 2;
    if (precedes(key, place.hint, block.hints[mid], [&] { return keyOf(block, mid); })) last = mid;
    else first = mid + 1;
  }
  place.offset = first;
  return place;
}

void SortedOrder::makeRoom(const Place& place) {
  if (blocks_.empty()) {
    blocks_.reserve(1);
    headHints_.reserve(1);
    blocks_.push_back(newBlock());
    headHints_.push_back(0);
    countBlocks();
    return;
  }
  if (blocks_[place.block].size < 2 * kBlockEntries) return;
  // A split needs one more block, head and count.
  if (blocks_.size() == blocks_.capacity()) {
    blocks_.reserve(2 * blocks_.size());
    headHints_.reserve(blocks_.capacity());
  }
  counts_.reserveFor(blocks_.size() + 1);
  if (spare_.hints == nullptr) spare_ = newBlock();
}

void SortedOrder::insert(const Place& place, uint32_t index, const ColumnKey& key) {
  Block& block = blocks_[place.block];
  const size_t moved = block.size - place.offset;
  std::memmove(block.hints + place.offset + 1, block.hints + place.offset, moved * sizeof(uint64_t));
  if (block.texts) std::memmove(block.texts + place.offset + 1, block.texts + place.offset, moved * sizeof(const char*));
  std::memmove(block.rows + place.offset + 1, block.rows + place.offset, moved * sizeof(uint32_t));
  put(block, place.offset, place.hint, index, key);
  ++block.size;
  if (place.offset == 0) {
    block.head = key;
    headHints_[place.block] = place.headHint;
  }
  ++size_;
  counts_.add(place.block);
  if (block.size <= 2 * kBlockEntries) return;
  split(place.block);
  tightenPrefix(blocks_[place.block]);
  tightenPrefix(blocks_[place.block + 1]);
  tightenHeadPrefix();
}

void SortedOrder::split(size_t blockNumber) {
  // The upper half becomes a block of its own; room for it was made beforehand.
  Block upper = spare_;
  spare_ = {};
  Block& block = blocks_[blockNumber];
  upper.size = block.size - kBlockEntries;
  std::memcpy(upper.hints, block.hints + kBlockEntries, upper.size * sizeof(uint64_t));
  if (block.texts) std::memcpy(upper.texts, block.texts + kBlockEntries, upper.size * sizeof(const char*));
  std::memcpy(upper.rows, block.rows + kBlockEntries, upper.size * sizeof(uint32_t));
  upper.prefix = block.prefix;
  upper.head = keyOf(upper, 0);
  block.size = kBlockEntries;
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1, upper);
  headHints_.insert(headHints_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1, order_.hint(upper.head, prefix_));
  countBlocks();
}

// Always so in a view sorted while it was empty; once the prefix is longer by half a word, the
// words keep telling rows apart.
void SortedOrder::tightenPrefix(Block& block) {
  if (!order_.hintUsesPrefix()) return;
  const std::string_view shared = sharedPrefix(block.head.text, keyOf(block, block.size - 1).text);
  if (shared.size() < block.prefix.size() + 4) return;
  block.prefix = shared;
  for (size_t i = 0; i < block.size; ++i) block.hints[i] = order_.hint(keyOf(block, i), shared);
}

void SortedOrder::tightenHeadPrefix() {
  if (!order_.hintUsesPrefix()) return;
  const Block& last = blocks_.back();
  const std::string_view shared = sharedPrefix(blocks_.front().head.text, keyOf(last, last.size - 1).text);
  if (shared.size() < prefix_.size() + 4) return;
  prefix_ = shared;
  for (size_t b = 0; b < blocks_.size(); ++b) headHints_[b] = order_.hint(blocks_[b].head, prefix_);
}

size_t SortedOrder::memoryBytes() const {
  return rooms_.bytesHeld() + blocks_.capacity() * sizeof(Block) + headHints_.capacity() * sizeof(uint64_t) +
         counts_.memoryBytes();
}

}  // namespace tallyvane
