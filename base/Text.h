#pragma once
// Text helpers shared by every layer. Strings are UTF-8 unless a name says otherwise.

#include <string>
#include <string_view>

namespace tallyvane {

// Replaces every invalid UTF-8 sequence by U+FFFD, so stored text is always valid UTF-8.
std::string sanitizeUtf8(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
// How many bytes from the start are plain ASCII; eight are checked at a time, as nearly every
// URL and header line is ASCII through and through.
size_t asciiPrefixLength(std::string_view bytes);
void appendSanitizedUtf8(std::string& out, std::string_view bytes);

// One byte per character below 256; characters from 256 up are left out.
std::string latin1FromUtf8(std::string_view utf8);
// Each byte is the character with that code (ISO-8859-1).
std::string utf8FromLatin1(std::string_view bytes);

// UTF-16 code units of valid UTF-8 text (invalid bytes become U+FFFD first).
std::u16string utf16FromUtf8(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string utf8FromUtf16(std::u16string_view utf16);

char asciiLower(char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);

// Trims U+0020 blanks only (tabs are kept).
std::string_view trimBlanks(std::string_view text);
// Trims blanks and tabs.
std::string_view trimBlanksAndTabs(std::string_view text);

// Without the CR and LF characters at its end.
std::string withoutTrailingLineBreaks(std::string text);

// Every line break (CR LF, a lone CR or a lone LF) as CR LF.
std::string withCrLfLineBreaks(std::string_view text);

// Splits at every CR LF pair; a text without one is a single line.
template <typename Visit>
void forEachCrLfLine(std::string_view text, Visit visit) {
  for (;;) {
    const size_t end = text.find("\r\n");
    visit(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 2);
  }
}

// Splits at every separator; n separators give n + 1 pieces.
template <typename Visit>
void forEachSeparated(std::string_view text, char separator, Visit visit) {
  for (;;) {
    const size_t end = text.find(separator);
    visit(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

}  // namespace tallyvane
