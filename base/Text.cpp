#include "base/Text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tallyvane {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 when it is invalid.
size_t validSequenceLength(std::string_view bytes, size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  uint32_t codePoint = lead & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(bytes[i + k]);
    if (!isContinuation(c)) return 0;
    codePoint = (codePoint << 6) | (c & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

constexpr uint64_t kEveryByteHighBit = 0x8080808080808080u;

// Eight bytes from any address, aligned or not.
uint64_t wordAt(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// The position of the first of eight bytes with its high bit set; 8 when there is none.
size_t firstHighByte(const char* eight) {
  const uint64_t high = wordAt(eight) & kEveryByteHighBit;
  if (high == 0) return 8;
  if constexpr (std::endian::native == std::endian::little) return static_cast<size_t>(std::countr_zero(high)) / 8;
  return static_cast<size_t>(std::countl_zero(high)) / 8;
}

}  // namespace

size_t asciiPrefixLength(std::string_view bytes) {
  const size_t size = bytes.size();
  if (size < 8) {
    size_t i = 0;
    while (i < size && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
    return i;
  }
  // Thirty-two bytes at a step while no byte is high (whole header blocks are checked), then eight
  // at a time, the last eight overlapping those before, as header lines and URLs rarely come in
  // whole words.
  size_t i = 0;
  for (const char* at = bytes.data(); i + 32 <= size; i += 32, at += 32) {
    if (((wordAt(at) | wordAt(at + 8) | wordAt(at + 16) | wordAt(at + 24)) & kEveryByteHighBit) != 0) break;
  }
  for (;; i += 8) {
    const size_t at = std::min(i, size - 8);
    if (const size_t high = firstHighByte(bytes.data() + at); high < 8) return at + high;
    if (at == size - 8) return size;
  }
}

void appendSanitizedUtf8(std::string& out, std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    // Copy the longest run of ASCII at once: header text is nearly always plain ASCII.
    const size_t run = i + asciiPrefixLength(bytes.substr(i));
    out.append(bytes.data() + i, run - i);
    i = run;
    if (i == bytes.size()) break;
    const size_t length = validSequenceLength(bytes, i);
    if (length == 0) {
      out.append(kReplacementCharacter);
      ++i;
    } else {
      out.append(bytes.data() + i, length);
      i += length;
    }
  }
}

bool isValidUtf8(std::string_view bytes) {
  for (size_t i = asciiPrefixLength(bytes); i < bytes.size();) {
    const size_t length = validSequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string sanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  appendSanitizedUtf8(out, bytes);
  return out;
}

std::string latin1FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t length = validSequenceLength(utf8, i);
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (length == 1) {
      out.push_back(static_cast<char>(lead));
    } else if (length == 2 && lead <= 0xC3) {
      const auto trail = static_cast<unsigned char>(utf8[i + 1]);
      out.push_back(static_cast<char>(((lead & 0x1F) << 6) | (trail & 0x3F)));
    }
    i += length == 0 ? 1 : length;
  }
  return out;
}

namespace {

void appendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace

std::string utf8FromLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}


std::u16string utf16FromUtf8(std::string_view utf8) {
  const std::string valid = sanitizeUtf8(utf8);
  std::u16string out;
  out.reserve(valid.size());
  for (size_t i = 0; i < valid.size();) {
    const size_t length = validSequenceLength(valid, i);
    const auto lead = static_cast<unsigned char>(valid[i]);
    uint32_t codePoint = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
    if (codePoint >= 0x10000) {
      codePoint -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(codePoint));
    }
    i += length;
  }
  return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const uint32_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::string withoutTrailingLineBreaks(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string withCrLfLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    // Equal bytes first: every stored URL's scheme and most header names are compared here.
    if (a[i] != b[i] && asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

namespace {
// A predicate rather than a set of characters: every line of a URL list is trimmed, and a set is
// searched for each byte.
template <typename IsTrimmed>
std::string_view trimWhile(std::string_view text, IsTrimmed isTrimmed) {
  while (!text.empty() && isTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && isTrimmed(text.back())) text.remove_suffix(1);
  return text;
}
}  // namespace

std::string_view trimBlanks(std::string_view text) {
  return trimWhile(text, [](char c) { return c == ' '; });
}

std::string_view trimBlanksAndTabs(std::string_view text) {
  return trimWhile(text, [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace tallyvane
