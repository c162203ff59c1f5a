#include "results/SortedOrder.h"

#include <algorithm>

namespace tallyvane {

void SortedOrder::assign(const std::vector<uint32_t>& rows) {
  clear();
  blocks_.reserve(rows.size() / kBlockEntries + 1);
  firstRows_.reserve(blocks_.capacity());
  for (size_t at = 0; at < rows.size(); at += kBlockEntries) {
    const size_t end = std::min(rows.size(), at + kBlockEntries);
    blocks_.emplace_back(rows.begin() + static_cast<std::ptrdiff_t>(at), rows.begin() + static_cast<std::ptrdiff_t>(end));
    blocks_.back().reserve(2 * kBlockEntries + 1);
    firstRows_.push_back(at);
  }
  size_ = rows.size();
}

void SortedOrder::clear() {
  std::vector<std::vector<uint32_t>>().swap(blocks_);
  std::vector<size_t>().swap(firstRows_);
  spare_ = {};
  size_ = 0;
}

uint32_t SortedOrder::at(size_t row) const {
  const size_t block = static_cast<size_t>(std::upper_bound(firstRows_.begin(), firstRows_.end(), row) - firstRows_.begin()) - 1;
  return blocks_[block][row - firstRows_[block]];
}

void SortedOrder::reserveOne() {
  // A block holds room to double before it splits; a split needs one more block and one more
  // first row.
  blocks_.reserve(blocks_.size() + 1);
  firstRows_.reserve(firstRows_.size() + 1);
  if (spare_.capacity() == 0) spare_.reserve(2 * kBlockEntries + 1);
  if (blocks_.empty()) {
    blocks_.emplace_back().reserve(2 * kBlockEntries + 1);
    firstRows_.push_back(0);
  }
}

void SortedOrder::insertAt(size_t blockNumber, size_t offset, uint32_t index) {
  std::vector<uint32_t>& block = blocks_[blockNumber];
  block.insert(block.begin() + static_cast<std::ptrdiff_t>(offset), index);
  ++size_;
  for (size_t b = blockNumber + 1; b < firstRows_.size(); ++b) ++firstRows_[b];
  if (block.size() <= 2 * kBlockEntries) return;
  // Split: the upper half becomes a block of its own. Room for it was reserved beforehand.
  std::vector<uint32_t> upper = std::move(spare_);
  spare_ = {};
  upper.assign(block.begin() + kBlockEntries, block.end());
  block.resize(kBlockEntries);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1, std::move(upper));
  firstRows_.insert(firstRows_.begin() + static_cast<std::ptrdiff_t>(blockNumber) + 1,
                    firstRows_[blockNumber] + kBlockEntries);
}

size_t SortedOrder::memoryBytes() const {
  size_t bytes = blocks_.capacity() * sizeof(std::vector<uint32_t>) + firstRows_.capacity() * sizeof(size_t);
  for (const auto& block : blocks_) bytes += block.capacity() * sizeof(uint32_t);
  return bytes;
}

}  // namespace tallyvane
