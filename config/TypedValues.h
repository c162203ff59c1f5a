#pragma once
// How values typed by the user (in a settings dialog or on the command line) become stored
// settings. One set of rules, so both front ends store the same text for the same typing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

// GETDomains and Rules: every line break as CR LF, blanks trimmed at both ends of the whole text;
// blank lines and comments inside stay as typed.
std::string typedMultiLineText(std::string_view typed);

// CustomHeaders: as typedMultiLineText, then without trailing CR and LF characters.
std::string typedCustomHeaders(std::string_view typed);

// NumThreads: the typed number when it is 1 to 200; nothing for an empty, non-numeric or
// out-of-range text.
std::optional<int64_t> typedThreadCount(std::string_view typed);

// TimeoutSeconds: the typed number when it is 0 (none) to 3600; nothing otherwise.
std::optional<int64_t> typedTimeoutSeconds(std::string_view typed);

// MaxPerHost (0 to 200), HostDelayMs (0 to 60000), RetryAfterLimitSeconds (0 to 600); 0 is off.
std::optional<int64_t> typedMaxPerHost(std::string_view typed);
std::optional<int64_t> typedHostDelayMs(std::string_view typed);
std::optional<int64_t> typedRetryAfterLimit(std::string_view typed);

}  // namespace tallyvane
