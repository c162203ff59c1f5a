#pragma once
// Finds a record by the CRC-32 of its first URL: an open-addressing table of (CRC, record index)
// that doubles before it is three quarters full, so a lookup costs a probe or two at any size
// and touches a record only when its CRC matches.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "results/LargePages.h"

namespace tallyvane {

// The key of a URL in the index: the CRC-32 of its bytes.
uint32_t urlCrc(std::string_view url);

class UrlIndex {
 public:
  UrlIndex() { clear(); }

  // Makes room for one more entry, growing the table when needed; throws std::bad_alloc, so that
  // insert() after it cannot fail.
  void reserveOne();
  void insert(uint32_t crc, uint32_t index);

  // True when sameUrl(index) holds for an entry with this CRC.
  template <typename SameUrl>
  bool find(uint32_t crc, SameUrl sameUrl) const {
    for (size_t slot = slotOf(crc);; slot = (slot + 1) & mask_) {
      const Slot& s = slots_[slot];
      if (s.entry == 0) return false;
      if (s.crc == crc && sameUrl(s.entry - 1)) return true;
    }
  }

  void clear();
  size_t size() const { return used_; }
  size_t memoryBytes() const { return slots_.capacity() * sizeof(Slot); }

 private:
  struct Slot {
    uint32_t crc;
    uint32_t entry;  // record index + 1; 0 marks an empty slot
  };
  // Fibonacci hashing: the top bits of the product, so URLs that differ in a digit spread out.
  size_t slotOf(uint32_t crc) const { return (crc * 0x9E3779B1u) >> (32 - bits_); }
  void place(Slot slot);

  LargeVector<Slot> slots_;  // ten million URLs: 128 MiB probed at random, so in large pages
  size_t mask_ = 0;
  int bits_ = 0;  // the table has 2^bits_ slots
  size_t used_ = 0;
};

}  // namespace tallyvane
