#include "engine/StatusLine.h"

namespace tallyvane {

std::string_view statusTextOf(std::string_view line) {
  // A plain loop: find_first_of calls memchr once per character, on every response.
  size_t end = 0;
  while (end < line.size() && line[end] != '\0' && line[end] != '\r' && line[end] != '\n') ++end;
  line = line.substr(0, end);
  int wordsStarted = 0;
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const bool blank = line[i] == ' ' || line[i] == '\t';
    if (!blank && !inWord && ++wordsStarted == 3) return line.substr(i);
    inWord = !blank;
  }
  return {};
}

}  // namespace tallyvane
