#include "input/RegexPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace tallyvane {

std::optional<RegexPattern> RegexPattern::compile(std::string_view expression) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(), 0, &error, &offset, nullptr);
  if (code == nullptr) return std::nullopt;
  RegexPattern pattern;
  pattern.code_ = std::shared_ptr<pcre2_code>(code, pcre2_code_free);
  return pattern;
}

std::optional<std::vector<std::string>> RegexPattern::matchWhole(std::string_view subject) const {
  const std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(
      pcre2_match_data_create_from_pattern(code_.get(), nullptr), pcre2_match_data_free);
  if (!data) return std::nullopt;
  const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject.data());
  PCRE2_SIZE start = 0;
  uint32_t options = 0;
  for (;;) {
    const int found = pcre2_match(code_.get(), bytes, subject.size(), start, options, data.get(), nullptr);
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    if (found == PCRE2_ERROR_NOMATCH && options != 0) {
      // No non-empty match where the empty one was: move on one character.
      if (start >= subject.size()) return std::nullopt;
      ++start;
      options = 0;
      continue;
    }
    if (found < 0) return std::nullopt;
    // Later matches begin after this one, so none of them can start at the first character.
    if (ovector[0] > 0) return std::nullopt;
    if (ovector[1] == subject.size()) {
      uint32_t groups = 0;
      pcre2_pattern_info(code_.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
      std::vector<std::string> captured(groups);
      for (uint32_t n = 1; n <= groups && static_cast<int>(n) < found; ++n) {
        if (ovector[2 * n] == PCRE2_UNSET) continue;
        captured[n - 1] = std::string(subject.substr(ovector[2 * n], ovector[2 * n + 1] - ovector[2 * n]));
      }
      return captured;
    }
    start = ovector[1];
    // After an empty match, the next try must not be empty at the same place.
    options = ovector[0] == ovector[1] ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
  }
}

}  // namespace tallyvane
