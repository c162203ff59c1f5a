#include "cli/SettingsCommand.h"

#include <charconv>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/CheckCommand.h"
#include "base/Text.h"
#include "config/TypedValues.h"

namespace tallyvane::cli {
namespace {

// A refusal's message, or nothing when the value was taken.
using Apply = std::function<std::optional<std::string>(Settings&, std::string_view)>;

struct Key {
  std::string_view group;
  std::string_view key;
  Apply apply;
};

std::optional<int64_t> wholeInteger(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A whole number from low to high, stored as the field's type (a number or a choice).
template <typename Value>
Apply choice(Value Settings::*field, int64_t low, int64_t high, std::string hint) {
  return [=](Settings& s, std::string_view value) -> std::optional<std::string> {
    const auto number = wholeInteger(value);
    if (!number || *number < low || *number > high) return hint;
    s.*field = static_cast<Value>(*number);
    return std::nullopt;
  };
}

template <typename Value>
Apply flag(Value Settings::*field, std::string_view name) {
  return choice(field, 0, 1, "Invalid value for " + std::string(name) + ": use 0 or 1");
}

Apply text(std::string Settings::*field) {
  return [=](Settings& s, std::string_view value) -> std::optional<std::string> {
    s.*field = std::string(value);
    return std::nullopt;
  };
}

// Multi-line values may give their line breaks as "#CRLF$" or as real ones.
std::vector<Key> settableKeys() {
  std::vector<Key> keys = {
      {"Proxy", "UseProxy", flag(&Settings::UseProxy, "Proxy/UseProxy")},
      {"Proxy", "Addr", text(&Settings::Addr)},
      {"Proxy", "Port", text(&Settings::Port)},
      {"Proxy", "User", text(&Settings::User)},
      {"Proxy", "Password", text(&Settings::Password)},
      {"RewriteRules", "Rules",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         s.Rules = typedMultiLineText(decodeLineBreaks(v));
         return std::nullopt;
       }},
      {"RewriteRules", "RewriteURLs", flag(&Settings::RewriteURLs, "RewriteRules/RewriteURLs")},
      {"HEADGET", "GETDomains",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         s.GETDomains = typedMultiLineText(decodeLineBreaks(v));
         return std::nullopt;
       }},
      {"HEADGET", "HeaderRequestMethod",
       choice(&Settings::HeaderRequestMethod, 0, 2,
              "Invalid value for HEADGET/HeaderRequestMethod: use 0 (always HEAD), 1 (always GET) or 2 (GET for the "
              "domains in HEADGET/GETDomains)")},
      {"HEADGET", "FallbackToGET", flag(&Settings::FallbackToGET, "HEADGET/FallbackToGET")},
      {"Requests", "CustomHeaders",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         s.CustomHeaders = typedCustomHeaders(decodeLineBreaks(v));
         return std::nullopt;
       }},
      {"Requests", "CookiesDisabled", flag(&Settings::CookiesDisabled, "Requests/CookiesDisabled")},
      {"Requests", "UseCustomHeaders", flag(&Settings::UseCustomHeaders, "Requests/UseCustomHeaders")},
      {"Requests", "TimeoutSeconds", choice(&Settings::TimeoutSeconds, 0, kMaxTimeoutSeconds, std::string(kInvalidTimeoutMessage))},
      {"Requests", "RetryAfterLimitSeconds",
       choice(&Settings::RetryAfterLimitSeconds, 0, kMaxRetryAfterLimitSeconds, std::string(kInvalidRetryAfterLimitMessage))},
      {"TLS", "CABundle", text(&Settings::CABundle)},
      {"TLS", "ResolveHosts",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         s.ResolveHosts = typedMultiLineText(decodeLineBreaks(v));
         return std::nullopt;
       }},
      {"Display", "WindowGeometry", text(&Settings::WindowGeometry)},
      {"Display", "WindowMaximized", flag(&Settings::WindowMaximized, "Display/WindowMaximized")},
      {"Display", "SplitterPosition", choice(&Settings::SplitterPosition, 0, 100000,
                                             "Invalid value for Display/SplitterPosition: use 0 to 100000 pixels")},
      {"Threads", "NumThreads",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         const auto threads = typedThreadCount(v);
         if (!threads) return std::string(kInvalidThreadsMessage);
         s.NumThreads = *threads;
         return std::nullopt;
       }},
      {"Threads", "MaxPerHost", choice(&Settings::MaxPerHost, 0, kMaxMaxPerHost, std::string(kInvalidMaxPerHostMessage))},
      {"Threads", "HostDelayMs", choice(&Settings::HostDelayMs, 0, kMaxHostDelayMs, std::string(kInvalidHostDelayMessage))},
      {"URLChecking", "CheckLinksInHeaders", flag(&Settings::CheckLinksInHeaders, "URLChecking/CheckLinksInHeaders")},
      {"UserAgents", "UserAgent",
       [](Settings& s, std::string_view v) -> std::optional<std::string> {
         const auto preset = wholeInteger(v);
         if (!preset || *preset < 0 || *preset >= kUserAgentPresetCount) {
           return std::string("Invalid value for UserAgents/UserAgent: use a preset number from 0 to 19");
         }
         s.UserAgent = *preset;
         s.activateSelectedUserAgent();
         return std::nullopt;
       }},
  };
  static const std::vector<std::string> presetKeys = [] {
    std::vector<std::string> names;
    for (int i = 0; i < kUserAgentPresetCount; ++i) names.push_back("ua" + std::to_string(i));
    return names;
  }();
  for (int i = 0; i < kUserAgentPresetCount; ++i) {
    keys.push_back({"UserAgents", presetKeys[static_cast<size_t>(i)],
                    [i](Settings& s, std::string_view v) -> std::optional<std::string> {
                      s.userAgents[static_cast<size_t>(i)] = presetFromStoredForm(v);
                      if (i == s.UserAgent) s.activateSelectedUserAgent();
                      return std::nullopt;
                    }});
  }
  return keys;
}

}  // namespace

bool loadCliSettings(Settings& settings, const SettingsLocation& location, UserInterface& ui) {
  const auto message = loadSettings(settings, location, kCliDesktopWidth);
  if (message) ui.showMessage(message->title, message->text);
  return !message;
}

void printSettings(const Settings& settings, const SettingsLocation& location, std::FILE* out) {
  std::fprintf(out, "Settings file: %s\n", location.file.c_str());
  settingsDocumentOf(settings).forEachKey([&](std::string_view group, std::string_view key, std::string_view value) {
    std::string shown(value);
    if (group == "Proxy" && key == "Password") shown = settings.Password.empty() ? "(not set)" : "(set)";
    std::fprintf(out, "%.*s/%.*s = %s\n", static_cast<int>(group.size()), group.data(), static_cast<int>(key.size()),
                 key.data(), shown.c_str());
  });
}

int setSetting(Settings& settings, const SettingsLocation& location, std::string_view name, std::string_view value,
               UserInterface& ui) {
  const size_t slash = name.find('/');
  const std::string_view group = name.substr(0, slash);
  const std::string_view key = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
  if (equalsIgnoreCase(group, "Recent") || equalsIgnoreCase(group, "Display")) {
    ui.showMessage(kErrorTitle, std::string(name) + " is kept by the program and cannot be set");
    return kExitError;
  }
  for (const Key& candidate : settableKeys()) {
    if (!equalsIgnoreCase(candidate.group, group) || !equalsIgnoreCase(candidate.key, key)) continue;
    Settings changed = settings;
    if (const auto refusal = candidate.apply(changed, value)) {
      ui.showMessage(kErrorTitle, *refusal);
      return kExitError;
    }
    if (const auto failure = saveSettings(changed, location)) {
      ui.showMessage(failure->title, failure->text);
      return kExitError;
    }
    settings = std::move(changed);
    return kExitFinished;
  }
  ui.showMessage(kErrorTitle, "Unknown setting " + std::string(name) + " (\"tallyvane-cli settings\" lists them)");
  return kExitError;
}

}  // namespace tallyvane::cli
