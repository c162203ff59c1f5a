#include "config/SettingsFile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "base/FileContents.h"
#include "config/PasswordCipher.h"
#include "base/Text.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLineBreakMark = "#CRLF$";
constexpr std::string_view kCannotCreateFolder = "Cannot create Tallyvane settings folder";
constexpr std::string_view kCannotOpenAtStart = "Cannot open Tallyvane settings file";
constexpr std::string_view kCannotOpenForSaving = "Cannot open Tallyvane preferences file!";
constexpr std::string_view kCannotSave = "Cannot save preferences in the settings file";

int64_t inRange(int64_t value, int64_t low, int64_t high, int64_t replacement) {
  return value < low || value > high ? replacement : value;
}

std::vector<std::string_view> splitAtCommas(std::string_view text) {
  constexpr std::string_view separator = ",";
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t at = text.find(separator);
    fields.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return fields;
    text.remove_prefix(at + separator.size());
  }
}

std::vector<std::string> readRecentList(const SettingsDocument& document, std::string_view prefix) {
  std::vector<std::string> list;
  for (size_t i = 1; i <= kMaxRecentFiles; ++i) {
    std::string entry = document.readText("Recent", std::string(prefix) + std::to_string(i));
    if (entry.empty()) break;
    list.push_back(std::move(entry));
  }
  return list;
}

void readColumnWidths(const SettingsDocument& document, std::vector<int64_t>& widths, std::string_view key) {
  const std::string value = document.readText("Display", key);
  if (value.empty()) return;
  const auto fields = splitAtCommas(value);
  for (size_t column = 0; column < widths.size() && column < fields.size(); ++column) {
    if (fields[column].empty()) continue;
    const int64_t width = leadingInteger(fields[column]);
    widths[column] = width == 0 ? 100 : width;
  }
}

std::string joinWidths(const std::vector<int64_t>& widths) {
  std::string joined;
  for (size_t i = 0; i < widths.size(); ++i) {
    if (i > 0) joined += ",";
    joined += std::to_string(widths[i]);
  }
  return joined;
}

// Over the defaults: a key a hand-written or older file lacks keeps its default (a file holding
// only [Threads] must not leave the presets, and so every request, without a user agent).
void readAll(const SettingsDocument& document, Settings& s) {
  s.UseProxy = document.readInteger("Proxy", "UseProxy", s.UseProxy);
  s.Addr = document.readText("Proxy", "Addr", s.Addr);
  s.Port = document.readText("Proxy", "Port", s.Port);
  s.User = document.readText("Proxy", "User", s.User);
  s.Password = decipherPassword(document.readText("Proxy", "Password"));

  s.recentInputFiles = readRecentList(document, "r");
  s.recentMappingFiles = readRecentList(document, "rm");

  for (int list = 0; list < kColumnListCount; ++list) {
    readColumnWidths(document, s.columnWidths[list], kColumnWidthKeys[list]);
  }
  s.WindowGeometry = document.readText("Display", "WindowGeometry", s.WindowGeometry);
  s.WindowMaximized = document.readInteger("Display", "WindowMaximized", s.WindowMaximized);
  s.SplitterPosition = std::max<int64_t>(document.readInteger("Display", "SplitterPosition", s.SplitterPosition), 0);

  s.Rules = decodeLineBreaks(document.readText("RewriteRules", "Rules"));
  s.RewriteURLs = document.readInteger("RewriteRules", "RewriteURLs", s.RewriteURLs);

  s.GETDomains = withoutTrailingLineBreaks(decodeLineBreaks(document.readText("HEADGET", "GETDomains")));
  s.HeaderRequestMethod = static_cast<MethodChoice>(
      inRange(document.readInteger("HEADGET", "HeaderRequestMethod", static_cast<int64_t>(s.HeaderRequestMethod)), 0, 2, 0));
  s.FallbackToGET = inRange(document.readInteger("HEADGET", "FallbackToGET", s.FallbackToGET), 0, 1, 0);

  s.CustomHeaders = withoutTrailingLineBreaks(decodeLineBreaks(document.readText("Requests", "CustomHeaders")));
  s.CookiesDisabled = static_cast<CookiesChoice>(
      inRange(document.readInteger("Requests", "CookiesDisabled", static_cast<int64_t>(s.CookiesDisabled)), 0, 1, 1));
  s.UseCustomHeaders = document.readInteger("Requests", "UseCustomHeaders", s.UseCustomHeaders);
  s.TimeoutSeconds = inRange(document.readInteger("Requests", "TimeoutSeconds", s.TimeoutSeconds), 0,
                             kMaxTimeoutSeconds, kDefaultTimeoutSeconds);
  s.RetryAfterLimitSeconds = inRange(document.readInteger("Requests", "RetryAfterLimitSeconds", s.RetryAfterLimitSeconds),
                                     0, kMaxRetryAfterLimitSeconds, 0);

  s.CABundle = document.readText("TLS", "CABundle", s.CABundle);
  s.ResolveHosts = withoutTrailingLineBreaks(decodeLineBreaks(document.readText("TLS", "ResolveHosts")));

  s.NumThreads = inRange(document.readInteger("Threads", "NumThreads", s.NumThreads), kMinThreads, kMaxThreads,
                         kDefaultNumThreads);
  s.MaxPerHost = inRange(document.readInteger("Threads", "MaxPerHost", s.MaxPerHost), 0, kMaxMaxPerHost, 0);
  s.HostDelayMs = inRange(document.readInteger("Threads", "HostDelayMs", s.HostDelayMs), 0, kMaxHostDelayMs, 0);
  s.CheckLinksInHeaders = document.readInteger("URLChecking", "CheckLinksInHeaders", s.CheckLinksInHeaders);

  s.UserAgent =
      inRange(document.readInteger("UserAgents", "UserAgent", -1), 0, kUserAgentPresetCount - 1, kDefaultUserAgentPreset);
  for (int i = 0; i < kUserAgentPresetCount; ++i) {
    if (const auto stored = document.read("UserAgents", "ua" + std::to_string(i))) {
      s.userAgents[static_cast<size_t>(i)] = presetFromStoredForm(*stored);
    }
  }
}

void writeAll(SettingsDocument& document, const Settings& s) {
  document.write("Proxy", "UseProxy", s.UseProxy);
  document.write("Proxy", "Addr", s.Addr);
  document.write("Proxy", "Port", s.Port);
  document.write("Proxy", "User", s.User);
  document.write("Proxy", "Password", encipherPassword(s.Password));

  for (size_t i = 0; i < s.recentInputFiles.size() && i < kMaxRecentFiles; ++i) {
    document.write("Recent", "r" + std::to_string(i + 1), s.recentInputFiles[i]);
  }
  for (size_t i = 0; i < s.recentMappingFiles.size() && i < kMaxRecentFiles; ++i) {
    document.write("Recent", "rm" + std::to_string(i + 1), s.recentMappingFiles[i]);
  }

  for (int list = 0; list < kColumnListCount; ++list) {
    document.write("Display", kColumnWidthKeys[list], joinWidths(s.columnWidths[list]));
  }
  document.write("Display", "WindowGeometry", s.WindowGeometry);
  document.write("Display", "WindowMaximized", s.WindowMaximized);
  document.write("Display", "SplitterPosition", s.SplitterPosition);

  document.write("RewriteRules", "Rules", encodeLineBreaks(s.Rules));
  document.write("RewriteRules", "RewriteURLs", s.RewriteURLs);

  document.write("HEADGET", "GETDomains", encodeLineBreaks(s.GETDomains));
  document.write("HEADGET", "HeaderRequestMethod", static_cast<int64_t>(s.HeaderRequestMethod));
  document.write("HEADGET", "FallbackToGET", s.FallbackToGET);

  document.write("Requests", "CustomHeaders", encodeLineBreaks(s.CustomHeaders));
  document.write("Requests", "CookiesDisabled", static_cast<int64_t>(s.CookiesDisabled));
  document.write("Requests", "UseCustomHeaders", s.UseCustomHeaders);
  document.write("Requests", "TimeoutSeconds", s.TimeoutSeconds);
  document.write("Requests", "RetryAfterLimitSeconds", s.RetryAfterLimitSeconds);

  document.write("TLS", "CABundle", s.CABundle);
  document.write("TLS", "ResolveHosts", encodeLineBreaks(s.ResolveHosts));

  document.write("Threads", "NumThreads", s.NumThreads);
  document.write("Threads", "MaxPerHost", s.MaxPerHost);
  document.write("Threads", "HostDelayMs", s.HostDelayMs);
  document.write("URLChecking", "CheckLinksInHeaders", s.CheckLinksInHeaders);

  document.write("UserAgents", "UserAgent", s.UserAgent);
  for (int i = 0; i < kUserAgentPresetCount; ++i) {
    document.write("UserAgents", "ua" + std::to_string(i), storedFormOf(s.userAgents[static_cast<size_t>(i)]));
  }
}

// Creates the folder and any missing parent (as ~/.config on a fresh machine), owner-only.
bool createFolder(const fs::path& folder) {
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    std::error_code ignored;
    if (fs::is_directory(partial, ignored)) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && !fs::is_directory(partial, ignored)) return false;
  }
  return true;
}

// $HOME, else the user database's entry (a service or cron job may run without HOME); nothing
// when neither names a folder.
std::optional<fs::path> homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return fs::path(home);
  const struct passwd* user = ::getpwuid(::getuid());
  if (user && user->pw_dir && *user->pw_dir == '/') return fs::path(user->pw_dir);
  return std::nullopt;
}

}  // namespace

Settings defaultSettings(int desktopWidth) {
  Settings settings;
  settings.columnWidths = defaultColumnWidths(desktopWidth);
  return settings;
}

std::string encodeLineBreaks(std::string_view text) {
  // A lone CR or LF is stored as a line break too: written as it is, it would end the line.
  std::string out;
  forEachCrLfLine(withCrLfLineBreaks(text), [&, first = true](std::string_view line) mutable {
    if (!first) out += kLineBreakMark;
    out += line;
    first = false;
  });
  return out;
}

std::string decodeLineBreaks(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (;;) {
    const size_t at = stored.find(kLineBreakMark);
    out.append(stored.substr(0, at));
    if (at == std::string_view::npos) return out;
    out += "\r\n";
    stored.remove_prefix(at + kLineBreakMark.size());
  }
}

SettingsLocation defaultSettingsLocation(const fs::path& programPath) {
  if (programPath.filename() == kPortableProgramName) {
    const fs::path folder = programPath.parent_path();
    return {folder, folder / kSettingsFileName};
  }
  const auto home = homeFolder();
#ifdef __APPLE__
  if (!home) return {};
  const fs::path folder = *home / "Library/Application Support/Tallyvane";
#else
  // A relative XDG_CONFIG_HOME is to be ignored: it would depend on the working folder.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (configHome && *configHome == '/') {
    base = configHome;
  } else if (home) {
    base = *home / ".config";
  } else {
    return {};
  }
  const fs::path folder = base / "Tallyvane";
#endif
  return {folder, folder / kSettingsFileName};
}

SettingsLocation settingsLocationOf(const fs::path& file) {
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  return {folder, file};
}

std::optional<Message> loadSettings(Settings& settings, const SettingsLocation& location, int desktopWidth) {
  settings = defaultSettings(desktopWidth);
  std::error_code ignored;
  if (location.folder.empty() || (!fs::is_directory(location.folder, ignored) && !createFolder(location.folder))) {
    return errorMessage(kCannotCreateFolder);
  }
  if (!fs::exists(location.file, ignored)) return saveSettings(settings, location);
  const auto bytes = readFileContents(location.file);
  if (!bytes) return errorMessage(kCannotOpenAtStart);
  readAll(SettingsDocument::parse(*bytes), settings);
  settings.activateSelectedUserAgent();
  return std::nullopt;
}

std::optional<Message> saveSettings(const Settings& settings, const SettingsLocation& location) {
  SettingsDocument document;
  std::error_code ignored;
  if (fs::exists(location.file, ignored)) {
    const auto bytes = readFileContents(location.file);
    if (!bytes) return errorMessage(kCannotOpenForSaving);
    document = SettingsDocument::parse(*bytes);
  }
  writeAll(document, settings);
  // The proxy password is in it, if enciphered: a new file is the owner's only.
  if (!replaceFileContents(location.file, document.serialize(), S_IRUSR | S_IWUSR)) return errorMessage(kCannotSave);
  return std::nullopt;
}

SettingsDocument settingsDocumentOf(const Settings& settings) {
  SettingsDocument document;
  writeAll(document, settings);
  return document;
}

void addRecentFile(std::vector<std::string>& list, std::string_view path) {
  const std::string entry(trimBlanks(path));
  const auto match = std::find_if(list.begin(), list.end(),
                                  [&](const std::string& existing) { return equalsIgnoreCase(existing, entry); });
  if (match != list.end()) list.erase(match);
  list.insert(list.begin(), entry);
  if (list.size() > kMaxRecentFiles) list.resize(kMaxRecentFiles);
}

void captureColumnWidths(Settings& settings, int mainListMode, const std::vector<int64_t>& mainList,
                         const std::vector<int64_t>& responsesList, const std::vector<int64_t>& linksList) {
  auto capture = [](std::vector<int64_t>& stored, const std::vector<int64_t>& shown) {
    for (size_t i = 0; i < stored.size() && i < shown.size(); ++i) stored[i] = shown[i];
  };
  if (mainListMode >= kMainListMode0 && mainListMode <= kMainListMode2) {
    capture(settings.columnWidths[mainListMode], mainList);
  }
  capture(settings.columnWidths[kResponsesList], responsesList);
  capture(settings.columnWidths[kLinksList], linksList);
}

}  // namespace tallyvane
