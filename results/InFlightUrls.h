#pragma once
// The URLs the workers are checking now, at most one per worker: a fixed open-addressing table
// keyed by the URL's CRC (the one the store's index uses, so it is taken once per URL). It never
// allocates; the URLs stay in the workers' hop rows.

#include <array>
#include <cstdint>
#include <string_view>

#include "results/UrlIndex.h"

namespace tallyvane {

class InFlightUrls {
 public:
  static constexpr size_t kCapacity = 200;  // one per worker

  // False when the URL is in the table already. At most kCapacity URLs at once.
  bool insert(uint32_t crc, std::string_view url);
  void erase(uint32_t crc, std::string_view url);
  void clear() { slots_.fill(Slot{}); }

 private:
  struct Slot {
    const char* data = nullptr;  // nullptr: empty
    uint32_t size = 0;
    uint32_t crc = 0;
    std::string_view url() const { return {data, size}; }
  };
  static constexpr int kSlotBits = 9;  // over twice the capacity: short probes
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  static constexpr size_t kMask = kSlots - 1;
  static size_t home(uint32_t crc) { return slotOfCrc(crc, kSlotBits); }
  size_t find(uint32_t crc, std::string_view url) const;  // the URL's slot, or the empty one ending its run

  std::array<Slot, kSlots> slots_{};
};

}  // namespace tallyvane
