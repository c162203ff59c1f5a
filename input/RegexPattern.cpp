#include "input/RegexPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace tallyvane {
namespace {

// Each thread's own match data, grown to the largest pattern it has used.
pcre2_match_data* matchDataFor(uint32_t groups) {
  thread_local std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> data(nullptr,
                                                                                      pcre2_match_data_free);
  thread_local uint32_t pairs = 0;
  if (!data || pairs < groups + 1) {
    data.reset(pcre2_match_data_create(groups + 1, nullptr));
    pairs = data ? groups + 1 : 0;
  }
  return data.get();
}

}  // namespace

std::optional<RegexPattern> RegexPattern::compile(std::string_view expression) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(), 0, &error, &offset, nullptr);
  if (code == nullptr) return std::nullopt;
  // Machine code where the platform has it; without it the interpreter matches the same.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  RegexPattern pattern;
  pattern.code_ = std::shared_ptr<pcre2_code>(code, pcre2_code_free);
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &pattern.groups_);
  return pattern;
}

std::optional<std::vector<std::string>> RegexPattern::matchWhole(std::string_view subject) const {
  pcre2_match_data* data = matchDataFor(groups_);
  if (data == nullptr) return std::nullopt;
  const auto* bytes = reinterpret_cast<PCRE2_SPTR>(subject.data());
  PCRE2_SIZE start = 0;
  uint32_t options = 0;
  for (;;) {
    const int found = pcre2_match(code_.get(), bytes, subject.size(), start, options, data, nullptr);
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
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
      std::vector<std::string> captured(groups_);
      for (uint32_t n = 1; n <= groups_ && static_cast<int>(n) < found; ++n) {
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
