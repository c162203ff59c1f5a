#include "engine/StatusLine.h"

#include <array>
#include <cstdint>

namespace tallyvane {

namespace {

enum CharClass : uint8_t { kWordChar, kBlank, kLineEnd };

constexpr std::array<CharClass, 256> kClasses = [] {
  std::array<CharClass, 256> classes{};
  classes[' '] = classes['\t'] = kBlank;
  classes['\0'] = classes['\r'] = classes['\n'] = kLineEnd;
  return classes;
}();

}  // namespace

std::string_view statusTextOf(std::string_view line) {
  // One pass over the line, up to its end (a NUL, CR or LF): this runs for every response.
  const char* at = line.data();
  const char* const end = at + line.size();
  const auto classOf = [](char c) { return kClasses[static_cast<unsigned char>(c)]; };
  const auto skip = [&](CharClass skipped) {
    while (at != end && classOf(*at) == skipped) ++at;
  };
  for (int word = 0; word < 2; ++word) {
    skip(kBlank);
    skip(kWordChar);
  }
  skip(kBlank);
  const char* const text = at;
  while (at != end && classOf(*at) != kLineEnd) ++at;
  return {text, static_cast<size_t>(at - text)};
}

}  // namespace tallyvane
