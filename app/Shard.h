#pragma once
// One shard of a list split over machines: a URL of the list belongs to shard crc32(url) mod
// count, where crc32 is zlib's CRC-32 of the URL's bytes after rewriting and normalisation. That
// hash is part of the command line's contract: every machine and every version must agree on it,
// and a URL listed twice meets itself in one shard.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

struct Shard {
  int index = 0;  // 0 to count - 1
  int count = 1;
};

inline constexpr int kMaxShards = 100000;

uint32_t shardHash(std::string_view url);
inline bool inShard(std::string_view url, Shard shard) {
  return static_cast<int>(shardHash(url) % static_cast<uint32_t>(shard.count)) == shard.index;
}

// "I/N" with 0 <= I < N <= kMaxShards; otherwise the message telling what is wrong.
struct ShardParse {
  std::optional<Shard> shard;
  std::string problem;
};
ShardParse parseShard(std::string_view text);

}  // namespace tallyvane
