#pragma once
// The certificate authorities and host overrides the settings keep ("TLS" group), as every crawl
// of the desktop window uses them: the command line's --ca-bundle and --resolve, kept.

#include <optional>
#include <string>
#include <string_view>

#include "config/Settings.h"
#include "engine/RequestContext.h"

namespace tallyvane {

ConnectionOptions connectionOptionsOf(const Settings& settings);

// An entry written HOST:PORT:ADDRESS, the port 1 to 65535.
bool isHostOverride(std::string_view entry);

// The message refusing a CA bundle that cannot be read or a host override not written
// HOST:PORT:ADDRESS; nothing when both are fine.
std::optional<std::string> connectionSettingsProblem(const std::string& caBundle, const std::string& resolveLines);

}  // namespace tallyvane
