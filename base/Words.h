#pragma once
// Byte scanning eight bytes at a time: one word load and the masks the scanners share.

#include <cstdint>
#include <cstring>

namespace tallyvane {

inline constexpr uint64_t kEveryByteOne = 0x0101010101010101u;
inline constexpr uint64_t kEveryByteHighBit = 0x8080808080808080u;

// Eight bytes from any address, aligned or not.
inline uint64_t wordAt(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace tallyvane
