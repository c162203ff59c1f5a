#include "app/ConnectionSettings.h"

#include <unistd.h>

#include <charconv>

#include "base/Text.h"

namespace tallyvane {
namespace {

std::vector<std::string> overridesIn(const std::string& lines) {
  std::vector<std::string> entries;
  forEachCrLfLine(withCrLfLineBreaks(lines), [&](std::string_view line) {
    const std::string_view entry = trimBlanks(line);
    if (!entry.empty()) entries.emplace_back(entry);
  });
  return entries;
}


}  // namespace

ConnectionOptions connectionOptionsOf(const Settings& settings) {
  ConnectionOptions options;
  options.caBundle = std::string(trimBlanks(settings.CABundle));
  options.resolve = overridesIn(settings.ResolveHosts);
  return options;
}

bool isHostOverride(std::string_view entry) {
  const size_t hostEnd = entry.find(':');
  if (hostEnd == 0 || hostEnd == std::string_view::npos) return false;
  const size_t portEnd = entry.find(':', hostEnd + 1);
  if (portEnd == std::string_view::npos || portEnd + 1 == entry.size()) return false;
  const std::string_view port = entry.substr(hostEnd + 1, portEnd - hostEnd - 1);
  int number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  return error == std::errc() && end == port.data() + port.size() && number >= 1 && number <= 65535;
}

std::optional<std::string> connectionSettingsProblem(const std::string& caBundle, const std::string& resolveLines) {
  const std::string bundle(trimBlanks(caBundle));
  if (!bundle.empty() && ::access(bundle.c_str(), R_OK) != 0) {
    return "Cannot read the certificate authorities file: " + bundle;
  }
  for (const std::string& entry : overridesIn(resolveLines)) {
    if (!isHostOverride(entry)) return "Invalid host override \"" + entry + "\": use HOST:PORT:ADDRESS";
  }
  return std::nullopt;
}

}  // namespace tallyvane
