#include "input/TextLineReader.h"

#include <cstdint>
#include <cstring>

#include "base/Text.h"

namespace tallyvane {
namespace {

constexpr size_t kChunkBytes = 1 << 16;

// The next CR or LF from position on; npos when there is none. strcspn also stops at a zero
// byte, which a line may hold: the search goes on past it.
size_t lineBreakFrom(const std::string& text, size_t position) {
  for (size_t i = position; i < text.size(); ++i) {
    i += std::strcspn(text.c_str() + i, "\r\n");
    if (i < text.size() && text[i] != '\0') return i;
  }
  return std::string::npos;
}

}  // namespace

void TextLineReader::appendDecoded(const char* bytes, size_t count) {
  if (encoding_ != TextEncoding::Utf16Le && encoding_ != TextEncoding::Utf16Be) {
    decoded_.append(bytes, count);
    return;
  }
  const bool bigEndian = encoding_ == TextEncoding::Utf16Be;
  const auto unitOf = [bigEndian](unsigned char first, unsigned char second) {
    return static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8));
  };
  std::u16string units;
  units.reserve(count / 2 + 1);
  size_t i = 0;
  if (pendingByte_ >= 0 && count > 0) {
    units.push_back(unitOf(static_cast<unsigned char>(pendingByte_), static_cast<unsigned char>(bytes[0])));
    pendingByte_ = -1;
    i = 1;
  }
  for (; i + 1 < count; i += 2) {
    units.push_back(unitOf(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1])));
  }
  if (i < count) pendingByte_ = static_cast<unsigned char>(bytes[i]);
  // A surrogate pair split between two chunks is joined before decoding.
  if (pendingHighSurrogate_ != 0) {
    units.insert(units.begin(), static_cast<char16_t>(pendingHighSurrogate_));
    pendingHighSurrogate_ = 0;
  }
  if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF && !endOfFile_) {
    pendingHighSurrogate_ = units.back();
    units.pop_back();
  }
  decoded_ += utf8FromUtf16(units);
}

bool TextLineReader::refill() {
  if (endOfFile_) return false;
  if (position_ > 0) {
    decoded_.erase(0, position_);
    position_ = 0;
  }
  char chunk[kChunkBytes];
  const ssize_t got = readSome(fd_.get(), chunk, sizeof chunk);
  if (got <= 0) {
    endOfFile_ = true;
    if (pendingHighSurrogate_ != 0) {
      decoded_ += utf8FromUtf16(std::u16string(1, static_cast<char16_t>(pendingHighSurrogate_)));
      pendingHighSurrogate_ = 0;
    }
    return false;
  }
  appendDecoded(chunk, static_cast<size_t>(got));
  return true;
}

bool TextLineReader::atEnd() {
  while (position_ >= decoded_.size()) {
    if (!refill()) return position_ >= decoded_.size();
  }
  return false;
}

void TextLineReader::finishLine(std::string& line) const {
  switch (encoding_) {
    case TextEncoding::Unmarked:
      if (!isValidUtf8(line)) line = utf8FromLatin1(line);
      return;
    case TextEncoding::Utf8:
      if (!isValidUtf8(line)) line = sanitizeUtf8(line);
      return;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: return;
  }
}

bool TextLineReader::nextLine(std::string& line) {
  if (atEnd()) return false;
  line.clear();
  bool cut = false;
  for (;;) {
    const size_t end = lineBreakFrom(decoded_, position_);
    const size_t stop = end == std::string::npos ? decoded_.size() : end;
    const size_t room = kMaxLineBytes - line.size();
    if (!cut) {
      const size_t take = std::min(room, stop - position_);
      line.append(decoded_, position_, take);
      cut = take < stop - position_;
    }
    position_ = stop;
    if (end != std::string::npos) {
      const bool carriageReturn = decoded_[position_] == '\r';
      ++position_;
      // A CR LF pair is one line break, even when the LF arrives with the next chunk.
      if (carriageReturn && position_ >= decoded_.size()) refill();
      if (carriageReturn && position_ < decoded_.size() && decoded_[position_] == '\n') ++position_;
      break;
    }
    if (!refill()) break;
  }
  finishLine(line);
  return true;
}

}  // namespace tallyvane
