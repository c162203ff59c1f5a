#pragma once
// The Retry-After header of a 429 or 503 answer: how long the server asks the client to wait.

#include <chrono>
#include <optional>
#include <string_view>

namespace tallyvane {

// A header value as delta-seconds or an HTTP date (IMF-fixdate, or the obsolete RFC 850 and
// asctime forms every recipient must read), as the time to wait from now; a date in the past
// waits 0. Nothing for anything else: such a header is ignored.
std::optional<std::chrono::seconds> retryAfterValue(std::string_view value, std::chrono::system_clock::time_point now);

// The first Retry-After of the final header block of raw, read as above; nothing when there is
// none or it cannot be read.
std::optional<std::chrono::seconds> retryAfterOf(std::string_view rawHeaders, std::chrono::system_clock::time_point now);

}  // namespace tallyvane
