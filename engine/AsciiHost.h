#pragma once
// International host names in their ASCII form. libcurl converts them only when the process's
// locale is UTF-8, so the program converts them itself, from UTF-8 whatever the locale.

#include <string>
#include <string_view>
#include <variant>

namespace tallyvane {

struct HostConversionError {
  std::string message;
};

// url with a non-ASCII host replaced by its IDNA 2008 ASCII form ("xn--" labels); any other URL
// unchanged. The error names why a host cannot be converted.
std::variant<std::string, HostConversionError> withAsciiHost(std::string_view url);

}  // namespace tallyvane
