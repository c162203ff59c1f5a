#pragma once

#include <string_view>

namespace tallyvane {

// The reason phrase of a status line: from the first character of its third word to the end
// of the line, without the line break. Fewer than three words (HTTP/2) give "".
std::string_view statusTextOf(std::string_view statusLine);

}  // namespace tallyvane
