#include "config/TypedValues.h"

#include <charconv>

#include "base/Text.h"
#include "config/Settings.h"

namespace tallyvane {

std::string typedMultiLineText(std::string_view typed) { return std::string(trimBlanks(withCrLfLineBreaks(typed))); }

std::string typedCustomHeaders(std::string_view typed) { return withoutTrailingLineBreaks(typedMultiLineText(typed)); }

namespace {

std::optional<int64_t> typedNumberIn(std::string_view typed, int64_t low, int64_t high) {
  int64_t number = 0;
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), number);
  if (error != std::errc() || end != typed.data() + typed.size()) return std::nullopt;
  if (number < low || number > high) return std::nullopt;
  return number;
}

}  // namespace

std::optional<int64_t> typedThreadCount(std::string_view typed) {
  return typedNumberIn(typed, kMinThreads, kMaxThreads);
}

std::optional<int64_t> typedTimeoutSeconds(std::string_view typed) {
  return typedNumberIn(typed, 0, kMaxTimeoutSeconds);
}

std::optional<int64_t> typedMaxPerHost(std::string_view typed) { return typedNumberIn(typed, 0, kMaxMaxPerHost); }

std::optional<int64_t> typedHostDelayMs(std::string_view typed) { return typedNumberIn(typed, 0, kMaxHostDelayMs); }

std::optional<int64_t> typedRetryAfterLimit(std::string_view typed) {
  return typedNumberIn(typed, 0, kMaxRetryAfterLimitSeconds);
}

}  // namespace tallyvane
