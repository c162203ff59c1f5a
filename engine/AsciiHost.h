#pragma once
// International host names in their ASCII form. libcurl converts them only when the process's
// locale is UTF-8, so the program converts them itself, from UTF-8 whatever the locale.

#include <optional>
#include <string>

namespace tallyvane {

struct HostConversionError {
  std::string message;
};

// Replaces a non-ASCII host of url by its IDNA 2008 ASCII form ("xn--" labels), in place; any other
// URL stays as it is. The error names why a host cannot be converted; url is then unchanged.
std::optional<HostConversionError> makeHostAscii(std::string& url);

}  // namespace tallyvane
