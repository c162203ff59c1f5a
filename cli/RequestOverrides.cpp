#include "cli/RequestOverrides.h"

#include <unistd.h>

#include <charconv>

#include "app/ConnectionSettings.h"
#include "base/Text.h"

namespace tallyvane::cli {
namespace {

constexpr std::string_view kDefaultProxyPort = "1080";

std::optional<bool> switchValue(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  if (equalsIgnoreCase(*text, "on")) return true;
  if (equalsIgnoreCase(*text, "off")) return false;
  return std::nullopt;
}

bool isSwitch(const std::optional<std::string>& text) { return !text || switchValue(text).has_value(); }

bool validHeader(std::string_view header) {
  const size_t colon = header.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  // A line break would smuggle a second header or a second request line.
  return header.find_first_of("\r\n") == std::string_view::npos;
}

// An option not given is in range.
bool inRange(const std::optional<int64_t>& value, int64_t low, int64_t high) {
  return !value || (*value >= low && *value <= high);
}

bool validPort(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

}  // namespace

std::optional<std::string> checkConnection(const ConnectionOptions& options) {
  if (!options.caBundle.empty() && ::access(options.caBundle.c_str(), R_OK) != 0) {
    return "Cannot read the certificate authorities file: " + options.caBundle;
  }
  for (const std::string& entry : options.resolve) {
    if (!isHostOverride(entry)) return "Invalid --resolve \"" + entry + "\": use HOST:PORT:ADDRESS";
  }
  return std::nullopt;
}

std::optional<ProxyAddress> proxyAddressOf(std::string_view url) {
  if (url.empty() || url.find_first_of(" \t\r\n") != std::string_view::npos) return std::nullopt;
  const size_t schemeEnd = url.find("://");
  const size_t authorityStart = schemeEnd == std::string_view::npos ? 0 : schemeEnd + 3;
  std::string_view authority = url.substr(authorityStart);
  if (const size_t slash = authority.find('/'); slash != std::string_view::npos) {
    if (slash + 1 != authority.size()) return std::nullopt;  // a path means something else was meant
    authority.remove_suffix(1);
  }
  const size_t at = authority.rfind('@');
  const std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
  // The port's colon comes after an IPv6 literal's closing bracket.
  const size_t bracket = hostPort.rfind(']');
  const size_t colon = hostPort.rfind(':');
  const bool hasPort = colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
  const std::string_view host = hasPort ? hostPort.substr(0, colon) : hostPort;
  if (host.empty()) return std::nullopt;
  ProxyAddress proxy;
  proxy.port = hasPort ? std::string(hostPort.substr(colon + 1)) : std::string(kDefaultProxyPort);
  if (!validPort(proxy.port)) return std::nullopt;
  proxy.address = std::string(url.substr(0, authorityStart)) +
                  std::string(authority.substr(0, authority.size() - hostPort.size())) + std::string(host);
  return proxy;
}

std::optional<std::string> checkOverrides(const RequestOverrides& run) {
  if (run.threads && (*run.threads < kMinThreads || *run.threads > kMaxThreads)) {
    return std::string(kInvalidThreadsMessage);
  }
  if (run.timeoutSeconds && (*run.timeoutSeconds < 0 || *run.timeoutSeconds > kMaxTimeoutSeconds)) {
    return std::string(kInvalidTimeoutMessage);
  }
  if (!inRange(run.maxPerHost, 0, kMaxMaxPerHost)) return std::string(kInvalidMaxPerHostMessage);
  if (!inRange(run.hostDelayMs, 0, kMaxHostDelayMs)) return std::string(kInvalidHostDelayMessage);
  if (!inRange(run.retryAfterLimitSeconds, 0, kMaxRetryAfterLimitSeconds)) {
    return std::string(kInvalidRetryAfterLimitMessage);
  }
  if (run.userAgent && run.preset) return "Give either --user-agent or --preset, not both";
  if (run.userAgent && run.userAgent->find_first_of("\r\n") != std::string::npos) {
    return "Invalid --user-agent: it cannot hold a line break";
  }
  if (run.preset && (*run.preset < 0 || *run.preset >= kUserAgentPresetCount)) {
    return "Invalid --preset " + std::to_string(*run.preset) + ": use a preset number from 0 to " +
           std::to_string(kUserAgentPresetCount - 1);
  }
  for (const std::string& header : run.headers) {
    if (!validHeader(header)) return "Invalid --header \"" + header + "\": use \"Name: value\" on one line";
  }
  if (run.method && !equalsIgnoreCase(*run.method, "head") && !equalsIgnoreCase(*run.method, "get")) {
    return "Invalid --method \"" + *run.method + "\": use head or get";
  }
  if (run.proxy && run.noProxy) return "Give either --proxy or --no-proxy, not both";
  if (run.proxy && !proxyAddressOf(*run.proxy)) {
    return "Invalid --proxy \"" + *run.proxy + "\": use [http://][user:password@]host[:port]";
  }
  if (!isSwitch(run.cookies)) return "Invalid --cookies \"" + *run.cookies + "\": use on or off";
  if (!isSwitch(run.followLinks)) return "Invalid --follow-links \"" + *run.followLinks + "\": use on or off";
  return std::nullopt;
}

Settings withOverrides(Settings s, const RequestOverrides& run) {
  if (run.threads) s.NumThreads = *run.threads;
  if (run.timeoutSeconds) s.TimeoutSeconds = *run.timeoutSeconds;
  s.MaxPerHost = run.maxPerHost.value_or(s.MaxPerHost);
  s.HostDelayMs = run.hostDelayMs.value_or(s.HostDelayMs);
  s.RetryAfterLimitSeconds = run.retryAfterLimitSeconds.value_or(s.RetryAfterLimitSeconds);
  if (run.preset) {
    s.UserAgent = *run.preset;
    s.activateSelectedUserAgent();
  }
  if (run.userAgent) s.requestUserAgent = *run.userAgent;
  if (!run.headers.empty()) {
    s.UseCustomHeaders = 1;
    s.CustomHeaders.clear();
    for (const std::string& header : run.headers) {
      if (!s.CustomHeaders.empty()) s.CustomHeaders += "\r\n";
      s.CustomHeaders += header;
    }
  }
  if (run.method) s.HeaderRequestMethod = equalsIgnoreCase(*run.method, "get") ? MethodChoice::Get : MethodChoice::Head;
  if (run.headFallback) s.FallbackToGET = 1;
  if (run.noProxy) s.UseProxy = 0;
  if (run.proxy) {
    const ProxyAddress proxy = *proxyAddressOf(*run.proxy);
    s.UseProxy = 1;
    s.Addr = proxy.address;
    s.Port = proxy.port;
    // Credentials travel in the address, where libcurl reads them; none from the file.
    s.User.clear();
    s.Password.clear();
  }
  if (const auto cookies = switchValue(run.cookies)) {
    s.CookiesDisabled = *cookies ? CookiesChoice::Enabled : CookiesChoice::Disabled;
  }
  if (const auto follow = switchValue(run.followLinks)) s.CheckLinksInHeaders = *follow ? 1 : 0;
  return s;
}

}  // namespace tallyvane::cli
