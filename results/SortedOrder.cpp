#include "results/SortedOrder.h"

#include <algorithm>

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

uint32_t SortedOrder::at(size_t row) const {
  const auto [block, offset] = counts_.locate(row);
  return blocks_[block].rows[offset];
}

void SortedOrder::makeRoom(const Place& place) {
  if (blocks_.empty()) {
    blocks_.reserve(1);
    headHints_.reserve(1);
    Block& block = blocks_.emplace_back();
    headHints_.push_back(0);
    block.rows.reserve(2 * kBlockEntries + 1);
    block.hints.reserve(2 * kBlockEntries + 1);
    countBlocks();
    return;
  }
  Block& block = blocks_[place.block];
  if (block.rows.size() == block.rows.capacity()) {
    block.rows.reserve(2 * kBlockEntries + 1);
    block.hints.reserve(2 * kBlockEntries + 1);
  }
  if (block.rows.size() < 2 * kBlockEntries) return;
  // A split needs one more block, head and count.
  if (blocks_.size() == blocks_.capacity()) {
    blocks_.reserve(2 * blocks_.size());
    headHints_.reserve(blocks_.capacity());
  }
  counts_.reserveFor(blocks_.size() + 1);
  spare_.rows.reserve(2 * kBlockEntries + 1);
  spare_.hints.reserve(2 * kBlockEntries + 1);
}

void SortedOrder::insertEntry(const Place& place, uint32_t index, const ColumnKey& key) {
  Block& block = blocks_[place.block];
  block.rows.insert(block.rows.begin() + static_cast<std::ptrdiff_t>(place.offset), index);
  block.hints.insert(block.hints.begin() + static_cast<std::ptrdiff_t>(place.offset), place.hint);
  if (place.offset == 0) {
    block.head = key;
    headHints_[place.block] = place.headHint;
  }
  ++size_;
  counts_.add(place.block);
}

void SortedOrder::split(size_t blockNumber, const ColumnKey& upperHead) {
  // The upper half becomes a block of its own; room for it was made beforehand.
  Block upper = std::move(spare_);
  spare_ = {};
  Block& block = blocks_[blockNumber];
  upper.rows.assign(block.rows.begin() + kBlockEntries, block.rows.end());
  upper.hints.assign(block.hints.begin() + kBlockEntries, block.hints.end());
  upper.prefix = block.prefix;
  upper.head = upperHead;
  block.rows.resize(kBlockEntries);
  block.hints.resize(kBlockEntries);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1, std::move(upper));
  headHints_.insert(headHints_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1, order_.hint(upperHead, prefix_));
  countBlocks();
}

void SortedOrder::tightenHeadPrefix(const ColumnKey& last) {
  if (!order_.hintUsesPrefix()) return;
  const std::string_view shared = sharedPrefix(blocks_.front().head.text, last.text);
  if (shared.size() < prefix_.size() + 4) return;
  prefix_ = shared;
  for (size_t b = 0; b < blocks_.size(); ++b) headHints_[b] = order_.hint(blocks_[b].head, prefix_);
}

size_t SortedOrder::memoryBytes() const {
  size_t bytes = blocks_.capacity() * sizeof(Block) + headHints_.capacity() * sizeof(uint64_t) + counts_.memoryBytes();
  for (const Block& block : blocks_) bytes += block.rows.capacity() * sizeof(uint32_t) + block.hints.capacity() * sizeof(uint64_t);
  return bytes + spare_.rows.capacity() * sizeof(uint32_t) + spare_.hints.capacity() * sizeof(uint64_t);
}

}  // namespace tallyvane
