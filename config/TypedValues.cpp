#include "config/TypedValues.h"

#include <charconv>

#include "base/Text.h"
#include "config/Settings.h"

namespace tallyvane {

std::string typedMultiLineText(std::string_view typed) { return std::string(trimBlanks(withCrLfLineBreaks(typed))); }

std::string typedCustomHeaders(std::string_view typed) { return withoutTrailingLineBreaks(typedMultiLineText(typed)); }

std::optional<int64_t> typedThreadCount(std::string_view typed) {
  int64_t threads = 0;
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), threads);
  if (error != std::errc() || end != typed.data() + typed.size()) return std::nullopt;
  if (threads < kMinThreads || threads > kMaxThreads) return std::nullopt;
  return threads;
}

}  // namespace tallyvane
