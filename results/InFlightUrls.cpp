#include "results/InFlightUrls.h"

#include <algorithm>
#include <cassert>

namespace tallyvane {

std::vector<InFlightUrls::Claim>::iterator InFlightUrls::find(uint32_t crc, std::string_view url) {
  return std::find_if(claims_.begin(), claims_.end(), [&](const Claim& claim) { return claim.crc == crc && claim.url == url; });
}

bool InFlightUrls::insert(uint32_t crc, std::string_view url) {
  if (find(crc, url) != claims_.end()) return false;
  assert(claims_.size() < kCapacity);
  claims_.push_back(Claim{crc, url});
  return true;
}

void InFlightUrls::erase(uint32_t crc, std::string_view url) {
  const auto claim = find(crc, url);
  if (claim == claims_.end()) return;
  *claim = claims_.back();
  claims_.pop_back();
}

}  // namespace tallyvane
