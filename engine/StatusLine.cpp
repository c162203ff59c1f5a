#include "engine/StatusLine.h"

namespace tallyvane {

std::string_view statusTextOf(std::string_view line) {
  const size_t end = line.find_first_of(std::string_view("\0\r\n", 3));
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
