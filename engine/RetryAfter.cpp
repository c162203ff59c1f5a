#include "engine/RetryAfter.h"

#include <array>
#include <cstdint>

#include "base/Text.h"
#include "engine/HeaderAnalysis.h"

namespace tallyvane {
namespace {

using namespace std::chrono;

// Reads a fixed-form date from left to right; any mismatch fails the whole value.
class DateReader {
 public:
  explicit DateReader(std::string_view text) : text_(text) {}

  bool literal(std::string_view expected) {
    if (!text_.starts_with(expected)) return false;
    text_.remove_prefix(expected.size());
    return true;
  }
  // Exactly count digits; a leading blank stands for a zero when blankPadded (asctime's day).
  std::optional<int> digits(size_t count, bool blankPadded = false) {
    if (text_.size() < count) return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
      const char c = text_[i];
      if (blankPadded && i == 0 && c == ' ') continue;
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    text_.remove_prefix(count);
    return value;
  }
  // One of names, by its index.
  template <size_t N>
  std::optional<int> oneOf(const std::array<std::string_view, N>& names) {
    for (size_t i = 0; i < N; ++i) {
      if (literal(names[i])) return static_cast<int>(i);
    }
    return std::nullopt;
  }
  bool atEnd() const { return text_.empty(); }

 private:
  std::string_view text_;
};

constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays = {"Monday", "Tuesday", "Wednesday", "Thursday",
                                                      "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct DateParts {
  std::optional<int> year, month, day, hour, minute, second;
};

bool readClock(DateReader& in, DateParts& date) {
  date.hour = in.digits(2);
  if (!date.hour || !in.literal(":")) return false;
  date.minute = in.digits(2);
  if (!date.minute || !in.literal(":")) return false;
  date.second = in.digits(2);
  return date.second.has_value();
}

// "06 Nov " or "06-Nov-": the day and month of the two forms that start with them.
bool readDayAndMonth(DateReader& in, DateParts& date, std::string_view separator) {
  date.day = in.digits(2);
  if (!date.day || !in.literal(separator)) return false;
  date.month = in.oneOf(kMonths);
  return date.month && in.literal(separator);
}

// Sun, 06 Nov 1994 08:49:37 GMT
std::optional<DateParts> imfFixdate(std::string_view text) {
  DateReader in(text);
  DateParts date;
  if (!in.oneOf(kDays) || !in.literal(", ") || !readDayAndMonth(in, date, " ")) return std::nullopt;
  date.year = in.digits(4);
  if (!date.year || !in.literal(" ") || !readClock(in, date) || !in.literal(" GMT") || !in.atEnd()) return std::nullopt;
  return date;
}

// Sunday, 06-Nov-94 08:49:37 GMT; a two-digit year from 70 on is of the 1900s.
std::optional<DateParts> rfc850Date(std::string_view text) {
  DateReader in(text);
  DateParts date;
  if (!in.oneOf(kLongDays) || !in.literal(", ") || !readDayAndMonth(in, date, "-")) return std::nullopt;
  const auto year = in.digits(2);
  if (!year || !in.literal(" ") || !readClock(in, date) || !in.literal(" GMT") || !in.atEnd()) return std::nullopt;
  date.year = *year + (*year >= 70 ? 1900 : 2000);
  return date;
}

// Sun Nov  6 08:49:37 1994
std::optional<DateParts> asctimeDate(std::string_view text) {
  DateReader in(text);
  DateParts date;
  if (!in.oneOf(kDays) || !in.literal(" ")) return std::nullopt;
  date.month = in.oneOf(kMonths);
  if (!date.month || !in.literal(" ")) return std::nullopt;
  date.day = in.digits(2, true);
  if (!date.day || !in.literal(" ") || !readClock(in, date) || !in.literal(" ")) return std::nullopt;
  date.year = in.digits(4);
  if (!date.year || !in.atEnd()) return std::nullopt;
  return date;
}

std::optional<system_clock::time_point> timeOf(const DateParts& parts) {
  const year_month_day day{year{*parts.year}, month{static_cast<unsigned>(*parts.month + 1)},
                           std::chrono::day{static_cast<unsigned>(*parts.day)}};
  // 60 is a leap second.
  if (!day.ok() || *parts.hour > 23 || *parts.minute > 59 || *parts.second > 60) return std::nullopt;
  return sys_days{day} + hours{*parts.hour} + minutes{*parts.minute} + seconds{*parts.second};
}

std::optional<seconds> deltaSeconds(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // Anything past a day is far beyond any limit a crawl takes: saturate rather than overflow.
  constexpr int64_t kCap = 86400;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min<int64_t>(value * 10 + (c - '0'), kCap);
  }
  return seconds{value};
}

}  // namespace

std::optional<seconds> retryAfterValue(std::string_view value, system_clock::time_point now) {
  const std::string_view text = trimBlanksAndTabs(value);
  if (const auto delta = deltaSeconds(text)) return delta;
  auto date = imfFixdate(text);
  if (!date) date = rfc850Date(text);
  if (!date) date = asctimeDate(text);
  if (!date) return std::nullopt;
  const auto at = timeOf(*date);
  if (!at) return std::nullopt;
  if (*at <= now) return seconds{0};
  return ceil<seconds>(*at - now);
}

std::optional<seconds> retryAfterOf(std::string_view rawHeaders, system_clock::time_point now) {
  constexpr std::string_view kName = "retry-after:";
  std::optional<std::string_view> found;
  forEachCrLfLine(lastHeaderBlock(rawHeaders), [&](std::string_view line) {
    if (!found && startsWithIgnoreCase(line, kName)) found = line.substr(kName.size());
  });
  if (!found) return std::nullopt;
  return retryAfterValue(*found, now);
}

}  // namespace tallyvane
