#include "results/UrlIndex.h"

#include <zlib.h>

namespace tallyvane {
namespace {

constexpr int kInitialBits = 16;

}  // namespace

uint32_t urlCrc(std::string_view url) {
  return static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(url.data()), static_cast<uInt>(url.size())));
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
