#pragma once
// The URLs the workers are checking now, at most one per worker, each with its CRC (the one the
// store's index uses, so it is taken once per URL). It never allocates once made; the URLs stay
// in the workers' hop rows.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tallyvane {

class InFlightUrls {
 public:
  static constexpr size_t kCapacity = 200;  // one per worker

  InFlightUrls() { claims_.reserve(kCapacity); }

  // False when the URL is in the set already. At most kCapacity URLs at once.
  bool insert(uint32_t crc, std::string_view url);
  void erase(uint32_t crc, std::string_view url);
  void clear() { claims_.clear(); }

 private:
  struct Claim {
    uint32_t crc;
    std::string_view url;
  };
  std::vector<Claim>::iterator find(uint32_t crc, std::string_view url);

  std::vector<Claim> claims_;
};

}  // namespace tallyvane
