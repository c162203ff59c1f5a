#include "engine/StatusLine.h"

namespace tallyvane {

std::string_view statusTextOf(std::string_view line) {
  // One pass over the line, up to its end (a NUL, CR or LF): this runs for every response.
  size_t text = std::string_view::npos;
  int wordsStarted = 0;
  bool inWord = false;
  size_t i = 0;
  for (; i < line.size() && line[i] != '\0' && line[i] != '\r' && line[i] != '\n'; ++i) {
    const bool blank = line[i] == ' ' || line[i] == '\t';
    if (!blank && !inWord && ++wordsStarted == 3) text = i;
    inWord = !blank;
  }
  return text == std::string_view::npos ? std::string_view() : line.substr(text, i - text);
}

}  // namespace tallyvane
