// Any text given to URL normalisation, the URL parts and link resolution ends normally, and
// encoding is idempotent: a URL already encoded is requested as given.
#include <cstdint>
#include <string>

#include "engine/AsciiHost.h"
#include "input/UrlNormalization.h"
#include "input/UrlParts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string url = tallyvane::normaliseInputUrl(text);
  if (tallyvane::percentEncodeUrl(url) != url) __builtin_trap();
  for (std::string_view code : {tallyvane::kPartProtocol, tallyvane::kPartUser, tallyvane::kPartPassword,
                                tallyvane::kPartSite, tallyvane::kPartPort, tallyvane::kPartPath,
                                tallyvane::kPartParameters, tallyvane::kPartAnchor}) {
    const std::string part = tallyvane::getUrlPart(text, code);
    (void)tallyvane::setUrlPart(text, code, "x");
    // Putting a part back where it was taken from gives the URL unchanged.
    if (tallyvane::setUrlPart(text, code, part) != text) __builtin_trap();
  }
  (void)tallyvane::resolveUrl("https://base.example/dir/page?q=1", text);
  (void)tallyvane::resolveUrl(text, "../other");
  std::string ascii = text;
  (void)tallyvane::makeHostAscii(ascii);
  return 0;
}
