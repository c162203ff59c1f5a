#pragma once
// The proxy password is never stored in clear: it is enciphered with a key built into the program
// and stored as upper-case hexadecimal.

#include <string>
#include <string_view>

namespace tallyvane {

// "" when enciphering fails.
std::string encipherPassword(std::string_view password);

// "" when the text cannot be deciphered. A value enciphered with other constants gives an
// unusable text, never a failure of the program.
std::string decipherPassword(std::string_view stored);

}  // namespace tallyvane
