#pragma once
// Reading and writing settings.prefs. Failures come back as the message to show; the record then
// keeps what it had (the defaults, after a failed load).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Message.h"
#include "config/Settings.h"
#include "config/SettingsDocument.h"

namespace tallyvane {

struct SettingsLocation {
  std::filesystem::path folder;
  std::filesystem::path file;
};

inline constexpr std::string_view kSettingsFileName = "settings.prefs";
inline constexpr std::string_view kPortableProgramName = "TallyvanePortable.exe";

// The per-user location: beside the program for the portable build; else the macOS folder, or
// $XDG_CONFIG_HOME/Tallyvane (~/.config/Tallyvane) elsewhere. The home folder is $HOME or, without
// it, the user database's; with neither the location is empty and loading reports the folder.
SettingsLocation defaultSettingsLocation(const std::filesystem::path& programPath);
// An explicit file, in its own folder.
SettingsLocation settingsLocationOf(const std::filesystem::path& file);

// Applies the defaults, creates the folder and, on a first run, the file; otherwise reads every
// key. The selected user agent becomes the one requests send.
std::optional<Message> loadSettings(Settings& settings, const SettingsLocation& location, int desktopWidth);

// Writes every key into the file, keeping the entries the program does not write. The file is
// replaced only once the new one is completely on disk.
std::optional<Message> saveSettings(const Settings& settings, const SettingsLocation& location);

// The record as the file stores it, in the order it is written.
SettingsDocument settingsDocumentOf(const Settings& settings);

// Moves path to the top of a recent list (whole-path match), dropping the oldest beyond ten.
// The caller saves the settings afterwards.
void addRecentFile(std::vector<std::string>& list, std::string_view path);

// Column widths of the main list (in its current mode 0..2), the Responses and the Links list.
void captureColumnWidths(Settings& settings, int mainListMode, const std::vector<int64_t>& mainList,
                         const std::vector<int64_t>& responsesList, const std::vector<int64_t>& linksList);

// Multi-line values are stored on one line, each line break as "#CRLF$".
std::string encodeLineBreaks(std::string_view text);
std::string decodeLineBreaks(std::string_view stored);

}  // namespace tallyvane
