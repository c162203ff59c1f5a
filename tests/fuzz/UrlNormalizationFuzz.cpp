// Any text given to URL normalisation, the URL parts and link resolution ends normally;
// encoding is idempotent, so a URL already encoded is requested as given; and link resolution's
// shortcut for plain links gives uriparser's answer. Text with a line break is a base URL, then
// a link to resolve against it.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/AsciiHost.h"
#include "input/UrlNormalization.h"
#include "input/UrlParts.h"

namespace {

void checkResolution(std::string_view base, std::string_view reference) {
  if (tallyvane::resolveUrl(base, reference) != tallyvane::resolveUrlByParsing(base, reference)) __builtin_trap();
}

}  // namespace

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
  if (const size_t lineBreak = text.find('\n'); lineBreak != std::string::npos) {
    checkResolution(std::string_view(text).substr(0, lineBreak), std::string_view(text).substr(lineBreak + 1));
  }
  checkResolution("https://base.example/dir/page?q=1", text);
  checkResolution(text, "/other?q#f");
  checkResolution(text, "../other");
  std::string ascii = text;
  (void)tallyvane::makeHostAscii(ascii);
  return 0;
}
