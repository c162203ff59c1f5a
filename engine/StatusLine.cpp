#include "engine/StatusLine.h"

namespace tallyvane {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool endsLine(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

std::string_view statusTextOf(std::string_view line) {
  size_t at = 0;
  const auto skipBlanks = [&] {
    while (at < line.size() && isBlank(line[at])) ++at;
  };
  for (int word = 0; word < 2; ++word) {
    skipBlanks();
    while (at < line.size() && !isBlank(line[at]) && !endsLine(line[at])) ++at;
  }
  skipBlanks();
  const size_t text = at;
  while (at < line.size() && !endsLine(line[at])) ++at;
  return line.substr(text, at - text);
}

}  // namespace tallyvane
