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

CharClass classAt(std::string_view line, size_t i) {
  return i < line.size() ? kClasses[static_cast<unsigned char>(line[i])] : kLineEnd;
}

}  // namespace

std::string_view statusTextOf(std::string_view line) {
  // One pass over the line, up to its end (a NUL, CR or LF): this runs for every response.
  size_t i = 0;
  for (int word = 0; word < 2; ++word) {
    while (classAt(line, i) == kBlank) ++i;
    while (classAt(line, i) == kWordChar) ++i;
  }
  while (classAt(line, i) == kBlank) ++i;
  const size_t text = i;
  while (classAt(line, i) != kLineEnd) ++i;
  return line.substr(text, i - text);
}

}  // namespace tallyvane
