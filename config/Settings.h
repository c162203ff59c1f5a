#pragma once
// The settings record: one per process, named by the keys of the settings file.
// Changed only while no crawl runs; workers read it without a lock.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/ColumnWidths.h"
#include "config/UserAgentPresets.h"

namespace tallyvane {

inline constexpr size_t kMaxRecentFiles = 10;
inline constexpr int64_t kDefaultNumThreads = 30;
inline constexpr int64_t kMinThreads = 1;
inline constexpr int64_t kMaxThreads = 200;
// Per request; 0 means none. Out-of-range stored values load as the default.
inline constexpr int64_t kDefaultTimeoutSeconds = 30;
inline constexpr int64_t kMaxTimeoutSeconds = 3600;
inline constexpr std::string_view kInvalidTimeoutMessage =
    "Invalid time-out. Please, set a number of seconds between 0 (no time-out) and 3600";
inline constexpr std::string_view kInvalidThreadsMessage =
    "Invalid number of threads. Please, set a number between 1 and 200";
// Politeness towards each host; 0 turns each off, as by default.
inline constexpr int64_t kMaxMaxPerHost = 200;
inline constexpr int64_t kMaxHostDelayMs = 60000;
inline constexpr int64_t kMaxRetryAfterLimitSeconds = 600;
inline constexpr std::string_view kInvalidMaxPerHostMessage =
    "Invalid number of requests per host. Please, set a number between 0 (no limit) and 200";
inline constexpr std::string_view kInvalidHostDelayMessage =
    "Invalid delay between requests to a host. Please, set a number of milliseconds between 0 (none) and 60000";
inline constexpr std::string_view kInvalidRetryAfterLimitMessage =
    "Invalid Retry-After limit. Please, set a number of seconds between 0 (not honoured) and 600";

// HEADGET/HeaderRequestMethod, as stored.
enum class MethodChoice : int64_t { Head = 0, Get = 1, GetForListedHosts = 2 };
// Requests/CookiesDisabled, as stored: enabled cookies are kept between the requests of a crawl.
enum class CookiesChoice : int64_t { Enabled = 0, Disabled = 1 };

struct Settings {
  // Proxy
  int64_t UseProxy = 0;
  std::string Addr;
  std::string Port;
  std::string User;
  std::string Password;  // in clear here; enciphered in the file
  // Recent: most recent first, at most 10 each
  std::vector<std::string> recentInputFiles;
  std::vector<std::string> recentMappingFiles;
  // Display
  ColumnWidths columnWidths = defaultColumnWidths(1920);
  // The main window as it was left; empty or 0 keeps the default place and size.
  std::string WindowGeometry;  // "x,y,width,height" of the window's normal (not maximised) frame
  int64_t WindowMaximized = 0;
  int64_t SplitterPosition = 0;  // height of the result list above the detail panel
  // RewriteRules
  std::string Rules;
  int64_t RewriteURLs = 0;
  // HEADGET
  std::string GETDomains;
  MethodChoice HeaderRequestMethod = MethodChoice::Head;
  int64_t FallbackToGET = 0;  // a HEAD answered 405 or 501 is asked again with GET
  // Requests
  std::string CustomHeaders;
  CookiesChoice CookiesDisabled = CookiesChoice::Disabled;
  int64_t UseCustomHeaders = 0;
  int64_t TimeoutSeconds = kDefaultTimeoutSeconds;
  // A 429 or 503 with a Retry-After of at most this is asked again after it; 0: never.
  int64_t RetryAfterLimitSeconds = 0;
  // TLS: for staging servers and local test sites
  std::string CABundle;      // PEM file of the authorities to trust instead of the system's
  std::string ResolveHosts;  // HOST:PORT:ADDRESS lines, CR LF between them
  // Threads
  int64_t NumThreads = kDefaultNumThreads;
  int64_t MaxPerHost = 0;   // requests in flight to one host (scheme, host and port); 0: no limit
  int64_t HostDelayMs = 0;  // least time between the starts of two requests to one host
  // URLChecking
  int64_t CheckLinksInHeaders = 0;
  // UserAgents
  int64_t UserAgent = kDefaultUserAgentPreset;
  UserAgentPresets userAgents = defaultUserAgentPresets();

  // Not stored in the file.
  std::string requestUserAgent{"Tallyvane"};  // the User-Agent every request sends
  int64_t slowPageThresholdMs = 2000;

  // The selected preset's HTTP text becomes the one requests send.
  void activateSelectedUserAgent() { requestUserAgent = userAgents[static_cast<size_t>(UserAgent)].httpText; }
};

// Every value at its default, column widths scaled to the desktop's width.
Settings defaultSettings(int desktopWidth);

}  // namespace tallyvane
