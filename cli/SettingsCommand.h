#pragma once
// `tallyvane-cli settings`: shows the effective settings and changes one key, with the checks the
// settings dialogs make.

#include <cstdio>
#include <string_view>

#include "app/UserInterface.h"
#include "config/SettingsFile.h"

namespace tallyvane::cli {

// The desktop width the column-width defaults are scaled for; the CLI has no screen.
inline constexpr int kCliDesktopWidth = 1920;

// Loads (or on a first run creates) the settings file; shows a failure and returns false, the
// defaults then staying in force.
bool loadCliSettings(Settings& settings, const SettingsLocation& location, UserInterface& ui);

// Every key as the file stores it; the password only as set or not.
void printSettings(const Settings& settings, const SettingsLocation& location, std::FILE* out);

// name is GROUP/KEY, matched ignoring case. Returns the exit status; nothing is saved when the
// value is refused.
int setSetting(Settings& settings, const SettingsLocation& location, std::string_view name, std::string_view value,
               UserInterface& ui);

}  // namespace tallyvane::cli
