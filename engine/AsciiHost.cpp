#include "engine/AsciiHost.h"

#include <idn2.h>

#include <memory>

#include "base/Text.h"
#include "input/UrlParts.h"

namespace tallyvane {

std::optional<HostConversionError> makeHostAscii(std::string& url) {
  if (asciiPrefixLength(url) == url.size()) return std::nullopt;
  const auto span = requestHostSpan(url);
  if (!span) return std::nullopt;
  const std::string host(url.substr(span->begin, span->end - span->begin));
  if (asciiPrefixLength(host) == host.size()) return std::nullopt;
  char* converted = nullptr;
  int status = idn2_to_ascii_8z(host.c_str(), &converted, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
  // Names valid only under the older rules (IDNA 2003) still resolve as browsers resolve them.
  if (status == IDN2_DISALLOWED) status = idn2_to_ascii_8z(host.c_str(), &converted, IDN2_NFC_INPUT | IDN2_TRANSITIONAL);
  const std::unique_ptr<char, decltype(&idn2_free)> owned(converted, &idn2_free);
  if (status != IDN2_OK) return HostConversionError{"International host name: " + std::string(idn2_strerror(status))};
  url.replace(span->begin, span->end - span->begin, converted);
  return std::nullopt;
}

}  // namespace tallyvane
