#include "app/Shard.h"

#include <charconv>

#include "results/UrlIndex.h"

namespace tallyvane {

// The store's URL key is zlib's CRC-32 too; a test pins both to zlib, so neither drifts.
uint32_t shardHash(std::string_view url) { return urlCrc(url); }

ShardParse parseShard(std::string_view text) {
  const std::string wrong = "Invalid --shard \"" + std::string(text) + "\": use I/N, a shard 0 to N-1 of N (N at most " +
                            std::to_string(kMaxShards) + ")";
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) return {std::nullopt, wrong};
  int index = -1, count = 0;
  const auto number = [](std::string_view digits, int& value) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
  };
  if (!number(text.substr(0, slash), index) || !number(text.substr(slash + 1), count)) return {std::nullopt, wrong};
  if (count < 1 || count > kMaxShards || index < 0 || index >= count) return {std::nullopt, wrong};
  return {Shard{index, count}, {}};
}

}  // namespace tallyvane
