#pragma once
// Where the help pages live: every F1 key, the "User Guide" item and the rewrite rules' help
// comment point below this one address.

#include <string>
#include <string_view>

namespace tallyvane {

inline constexpr std::string_view kHelpSite = "https://help.tallyvane.example";

// path begins with "/", e.g. "/proxy".
inline std::string helpPageUrl(std::string_view path) { return std::string(kHelpSite) + std::string(path); }

}  // namespace tallyvane
