#include "results/InFlightUrls.h"

namespace tallyvane {

size_t InFlightUrls::find(uint32_t crc, std::string_view url) const {
  size_t slot = home(crc);
  while (slots_[slot].data != nullptr && !(slots_[slot].crc == crc && slots_[slot].url() == url)) slot = (slot + 1) & kMask;
  return slot;
}

bool InFlightUrls::insert(uint32_t crc, std::string_view url) {
  const size_t slot = find(crc, url);
  if (slots_[slot].data != nullptr) return false;
  slots_[slot] = Slot{url.data(), static_cast<uint32_t>(url.size()), crc};
  return true;
}

void InFlightUrls::erase(uint32_t crc, std::string_view url) {
  size_t hole = find(crc, url);
  if (slots_[hole].data == nullptr) return;
  // Backward shift: every later entry of the run that may move into the hole does, so no
  // tombstones are needed and a lookup still stops at the first empty slot.
  for (size_t next = (hole + 1) & kMask; slots_[next].data != nullptr; next = (next + 1) & kMask) {
    const size_t wanted = home(slots_[next].crc);
    // The entry may move when its home is not in the cyclic range (hole, next].
    if (((next - wanted) & kMask) >= ((next - hole) & kMask)) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  slots_[hole] = Slot{};
}

}  // namespace tallyvane
