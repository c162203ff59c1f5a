#pragma once
// Text made safe inside HTML and XML alike, as element content or a quoted attribute value: markup
// characters escaped, and the control characters XML 1.0 cannot hold (all but tab, LF and CR)
// dropped. For the HTML summary and the JUnit XML.

#include <string>
#include <string_view>

namespace tallyvane {

std::string escapeMarkup(std::string_view text);

}  // namespace tallyvane
