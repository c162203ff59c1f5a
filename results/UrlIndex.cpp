#include "results/UrlIndex.h"

#include <array>

namespace tallyvane {
namespace {

constexpr int kInitialBits = 16;

// CRC-32 (the zlib and PNG one) eight bytes at a step, with a table per byte of the step: URLs
// are mostly shorter than the 40-odd bytes below which zlib takes them a byte at a time.
// zlib's crc32 in its place costs a fifth of store_bench's lookup and add rates.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr CrcTables kCrcTables = [] {
  CrcTables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    tables[0][byte] = crc;
  }
  for (size_t step = 1; step < 8; ++step) {
    for (size_t byte = 0; byte < 256; ++byte) {
      const uint32_t before = tables[step - 1][byte];
      tables[step][byte] = (before >> 8) ^ tables[0][before & 0xFF];
    }
  }
  return tables;
}();

uint32_t littleEndianWord(const unsigned char* at) {
  return at[0] | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

}  // namespace

uint32_t urlCrc(std::string_view url) {
  const auto& t = kCrcTables;
  const auto* at = reinterpret_cast<const unsigned char*>(url.data());
  size_t left = url.size();
  uint32_t crc = 0xFFFFFFFFu;
  for (; left >= 8; left -= 8, at += 8) {
    const uint32_t low = littleEndianWord(at) ^ crc;
    const uint32_t high = littleEndianWord(at + 4);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
          t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; left > 0; --left, ++at) crc = (crc >> 8) ^ t[0][(crc ^ *at) & 0xFF];
  return ~crc;
}

void UrlIndex::clear() {
  LargeVector<Slot>(size_t{1} << kInitialBits).swap(slots_);
  mask_ = slots_.size() - 1;
  bits_ = kInitialBits;
  used_ = 0;
}

void UrlIndex::place(Slot entry) {
  size_t slot = slotOf(entry.crc);
  while (slots_[slot].entry != 0) slot = (slot + 1) & mask_;
  slots_[slot] = entry;
}

void UrlIndex::reserveOne() {
  if ((used_ + 1) * 4 <= slots_.size() * 3) return;
  LargeVector<Slot> old(slots_.size() * 2);  // may throw: the table is left as it was
  old.swap(slots_);
  mask_ = slots_.size() - 1;
  ++bits_;
  for (const Slot& s : old) {
    if (s.entry != 0) place(s);
  }
}

void UrlIndex::insert(uint32_t crc, uint32_t index) {
  place(Slot{crc, index + 1});
  ++used_;
}

}  // namespace tallyvane
