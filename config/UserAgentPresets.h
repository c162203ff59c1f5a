#pragma once
// The twenty user agents Tallyvane can present itself as.

#include <array>
#include <string>
#include <string_view>

namespace tallyvane {

struct UserAgentPreset {
  std::string name;
  std::string httpText;     // sent as the User-Agent request header
  std::string robotsToken;  // the name robots rules address the crawler by
};

inline constexpr int kUserAgentPresetCount = 20;
inline constexpr int kDefaultUserAgentPreset = 1;

using UserAgentPresets = std::array<UserAgentPreset, kUserAgentPresetCount>;

UserAgentPresets defaultUserAgentPresets();

// A preset as the settings file stores it: name, "#CRLF$", HTTP text, "#CRLF$", robots token.
// Missing fields read as "".
std::string storedFormOf(const UserAgentPreset& preset);
UserAgentPreset presetFromStoredForm(std::string_view stored);

}  // namespace tallyvane
