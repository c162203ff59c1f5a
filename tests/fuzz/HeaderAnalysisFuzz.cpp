// Any header block given to the header analysis and the settings parser ends normally.
#include <cstdint>
#include <string>

#include "config/SettingsDocument.h"
#include "engine/HeaderAnalysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  tallyvane::HopRecord hop;
  hop.url = "https://fuzz.example/dir/page";
  hop.rawHeaders = bytes;
  tallyvane::analyseHeaders(hop, [](const std::string&) {});
  const auto document = tallyvane::SettingsDocument::parse(bytes);
  (void)document.serialize();
  return 0;
}
