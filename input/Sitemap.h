#pragma once
// An XML sitemap parsed whole when the input is opened, so a malformed file is refused before
// any URL is checked. Texts are kept in one buffer with an offset each: a few bytes per URL
// beyond its own text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileDescriptor.h"

namespace tallyvane {

class Sitemap {
 public:
  static constexpr uint32_t kNoLoc = UINT32_MAX;

  struct Entry {
    uint32_t loc = kNoLoc;  // text index; kNoLoc for a url element without a usable loc
    uint32_t firstMedia = 0;
    uint32_t mediaCount = 0;
  };

  // Reads and parses the file at fd.
  struct Parsed;
  static Parsed parse(FileDescriptor fd);

  size_t entryCount() const { return entries_.size(); }
  const Entry& entry(size_t i) const { return entries_[i]; }
  std::string_view loc(const Entry& entry) const { return text(entry.loc); }
  // The image and video URLs of an entry, in document order.
  std::string_view media(const Entry& entry, uint32_t k) const { return text(entry.firstMedia + k); }

 private:
  friend class SitemapBuilder;
  uint32_t addText(std::string_view text);
  std::string_view text(uint32_t index) const;

  std::string buffer_;             // every text, each followed by a zero byte
  std::vector<uint64_t> offsets_;  // where each text starts
  std::vector<Entry> entries_;
};

struct Sitemap::Parsed {
  enum class Failure {
    None,
    CannotLoad,  // the file could not be read
    Refused,     // malformed, or not a sitemap: message says why
    Silent,      // a sitemap without entries: nothing to check, nothing to say
  };
  std::optional<Sitemap> sitemap;
  Failure failure = Failure::None;
  std::string message;
};

}  // namespace tallyvane
