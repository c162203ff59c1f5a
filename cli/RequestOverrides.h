#pragma once
// Request settings given on the command line for one run. They override the settings file for
// that run only and are never written to it, so a pipeline needs no settings file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ConnectionSettings.h"
#include "config/Settings.h"

namespace tallyvane::cli {

struct RequestOverrides {
  std::optional<int> threads;
  std::optional<int64_t> timeoutSeconds;
  std::optional<int64_t> maxPerHost;             // requests in flight to one host; 0: no limit
  std::optional<int64_t> hostDelayMs;            // between the starts of two requests to one host
  std::optional<int64_t> retryAfterLimitSeconds;  // 0: Retry-After is not honoured
  std::optional<std::string> userAgent;   // the User-Agent text itself
  std::optional<int> preset;              // or a user-agent preset's number
  std::vector<std::string> headers;       // "Name: value"; they replace the file's custom headers
  std::optional<std::string> method;      // "head" or "get", any case
  bool headFallback = false;              // a HEAD answered 405 or 501 is asked again with GET
  std::optional<std::string> proxy;       // [scheme://][user:password@]host[:port]
  bool noProxy = false;
  std::optional<std::string> cookies;      // "on" or "off", any case
  std::optional<std::string> followLinks;  // "on" or "off", any case
};

// The message naming the first override that cannot work, or nothing.
std::optional<std::string> checkOverrides(const RequestOverrides& overrides);
// The same for the CA bundle (readable) and the host overrides (HOST:PORT:ADDRESS).
std::optional<std::string> checkConnection(const ConnectionOptions& options);

// The settings of this run: the file's, with the overrides in their place. Checked overrides only.
Settings withOverrides(Settings settings, const RequestOverrides& overrides);

// A proxy URL as the settings keep it: address (scheme, user and host) and port. Without a port,
// libcurl's own default for proxies, 1080.
struct ProxyAddress {
  std::string address;
  std::string port;
};
std::optional<ProxyAddress> proxyAddressOf(std::string_view url);

}  // namespace tallyvane::cli
