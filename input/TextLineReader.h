#pragma once
// Lines of a URL list file, decoded to UTF-8, read in chunks so a list of any size streams.

#include <cstdint>
#include <string>

#include "base/FileDescriptor.h"

namespace tallyvane {

enum class TextEncoding {
  Utf8,        // after a UTF-8 byte-order mark
  Utf16Le,     // after FF FE
  Utf16Be,     // after FE FF
  Unmarked,    // no mark: a line of valid UTF-8 is UTF-8, any other is ISO-8859-1
};

// A line (or a joined CSV record) longer than this is cut, so one stray quote or a file without
// line breaks cannot swallow the rest of a file into memory.
inline constexpr size_t kMaxLineBytes = size_t{1} << 20;

class TextLineReader {
 public:
  // fd is positioned after any byte-order mark.
  TextLineReader(FileDescriptor fd, TextEncoding encoding) : fd_(std::move(fd)), encoding_(encoding) {}

  // Replaces line with the next line, without its line break (LF, CR or CR LF), in the room line
  // already has: one per URL of a list would otherwise be allocated. False at the end of the file.
  bool nextLine(std::string& line);
  bool atEnd();

 private:
  bool refill();  // false at the end of the file or on a read error
  void appendDecoded(const char* bytes, size_t count);
  void finishLine(std::string& line) const;  // decoded to valid UTF-8 in place

  FileDescriptor fd_;
  TextEncoding encoding_;
  std::string decoded_;  // UTF-8 (or unmarked bytes) not yet handed out
  size_t position_ = 0;
  bool endOfFile_ = false;
  // UTF-16 state carried across chunks.
  int pendingByte_ = -1;
  uint32_t pendingHighSurrogate_ = 0;
};

}  // namespace tallyvane
