#include "config/SettingsDocument.h"

#include <algorithm>
#include <limits>

#include "base/Text.h"

namespace tallyvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view skipLeadingBlanksAndTabs(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view trimTrailingBlanksAndTabs(std::string_view text) {
  const size_t last = text.find_last_not_of(" \t");
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

}  // namespace

int64_t leadingInteger(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;  // saturate, never overflow
  }
  return negative ? -value : value;
}

SettingsDocument SettingsDocument::parse(std::string_view bytes) {
  std::string text;
  if (bytes.size() > 2 && bytes.starts_with(kByteOrderMark)) {
    text = sanitizeUtf8(bytes.substr(kByteOrderMark.size()));
  } else {
    text = utf8FromLatin1(bytes);
  }
  SettingsDocument document;
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    const std::string_view line = skipLeadingBlanksAndTabs(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty()) continue;
    if (line.front() == ';') {
      std::string_view comment = line.substr(1);
      if (comment.starts_with(' ')) comment.remove_prefix(1);
      document.entries_.push_back({Kind::Comment, std::string(comment), {}});
    } else if (line.front() == '[') {
      const std::string_view name = line.substr(1, line.find(']') - 1);
      document.entries_.push_back({Kind::Group, std::string(name), {}});
    } else {
      const size_t equals = line.find('=');
      const std::string_view key = trimTrailingBlanksAndTabs(line.substr(0, equals));
      const std::string_view value =
          equals == std::string_view::npos ? std::string_view() : skipLeadingBlanksAndTabs(line.substr(equals + 1));
      document.entries_.push_back({Kind::Key, std::string(key), std::string(value)});
    }
  }
  return document;
}

std::string SettingsDocument::serialize() const {
  std::string out(kByteOrderMark);
  out += "\n";
  for (const Entry& entry : entries_) {
    switch (entry.kind) {
      case Kind::Comment: out += "; " + entry.name; break;
      case Kind::Group: out += "[" + entry.name + "]"; break;
      case Kind::Key: out += entry.name + " = " + entry.value; break;
    }
    out += "\n";
  }
  return out;
}

std::optional<std::pair<size_t, size_t>> SettingsDocument::groupRange(std::string_view group) const {
  size_t first = 0;
  if (!group.empty()) {
    while (first < entries_.size() &&
           !(entries_[first].kind == Kind::Group && equalsIgnoreCase(entries_[first].name, group))) {
      ++first;
    }
    if (first == entries_.size()) return std::nullopt;
    ++first;
  }
  size_t last = first;
  while (last < entries_.size() && entries_[last].kind != Kind::Group) ++last;
  return std::pair{first, last};
}

std::optional<size_t> SettingsDocument::findKey(std::string_view group, std::string_view key) const {
  const auto range = groupRange(group);
  if (!range) return std::nullopt;
  for (size_t i = range->first; i < range->second; ++i) {
    if (entries_[i].kind == Kind::Key && equalsIgnoreCase(entries_[i].name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> SettingsDocument::read(std::string_view group, std::string_view key) const {
  const auto at = findKey(group, key);
  if (!at) return std::nullopt;
  return std::string(trimTrailingBlanksAndTabs(entries_[*at].value));
}

std::string SettingsDocument::readText(std::string_view group, std::string_view key, std::string_view fallback) const {
  return read(group, key).value_or(std::string(fallback));
}

int64_t SettingsDocument::readInteger(std::string_view group, std::string_view key, int64_t fallback) const {
  const auto value = read(group, key);
  return value ? leadingInteger(*value) : fallback;
}

void SettingsDocument::write(std::string_view group, std::string_view key, std::string_view text) {
  // One entry is one line: a line break inside a value would cut it and make a second entry.
  std::string value(text);
  std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  if (const auto at = findKey(group, key)) {
    entries_[*at].value = std::move(value);
    return;
  }
  auto range = groupRange(group);
  if (!range) {
    entries_.push_back({Kind::Group, std::string(group), {}});
    range = std::pair{entries_.size(), entries_.size()};
  }
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(range->second),
                  Entry{Kind::Key, std::string(key), std::move(value)});
}

void SettingsDocument::write(std::string_view group, std::string_view key, int64_t value) {
  write(group, key, std::string_view(std::to_string(value)));
}

}  // namespace tallyvane
