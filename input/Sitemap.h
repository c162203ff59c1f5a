#pragma once
// The entries of XML sitemaps, parsed whole when the input is opened, so a malformed file is
// refused before any URL is checked. One Sitemap holds the entries of every document of an input
// (a sitemap, or the sitemaps of an index), in reading order. Texts are kept in one buffer with an
// offset each: a few bytes per URL beyond its own text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileDescriptor.h"

namespace tallyvane {

// What one sitemap document may unpack to: twice the 50 MB the sitemaps protocol allows, so every
// real sitemap fits, while a gzip bomb is refused after that much work and memory.
inline constexpr size_t kMaxSitemapBytes = size_t{100} << 20;
inline constexpr std::string_view kMaxSitemapSizeText = "100 MB";

class Sitemap {
 public:
  static constexpr uint32_t kNoLoc = UINT32_MAX;

  struct Entry {
    uint32_t loc = kNoLoc;  // text index; kNoLoc for a url element without a usable loc
    uint32_t firstMedia = 0;
    uint32_t mediaCount = 0;
  };

  // What reading one document gave. A document that fails adds no entry.
  struct Document;
  // Reads the document at fd (plain or gzip) and adds its entries after those read before.
  Document add(FileDescriptor fd);
  // The same for a document in memory: a fetched one.
  Document add(std::string_view bytes);

  size_t entryCount() const { return entries_.size(); }
  const Entry& entry(size_t i) const { return entries_[i]; }
  std::string_view loc(const Entry& entry) const { return text(entry.loc); }
  // The image and video URLs of an entry, in document order.
  std::string_view media(const Entry& entry, uint32_t k) const { return text(entry.firstMedia + k); }
  // Frees the room left over by reading, once every document is in.
  void shrinkToFit();

 private:
  friend class SitemapBuilder;
  friend class SitemapParser;
  uint32_t addText(std::string_view text);
  std::string_view text(uint32_t index) const;
  void truncate(size_t entries, size_t texts);

  std::string buffer_;             // every text, each followed by a zero byte
  std::vector<uint64_t> offsets_;  // where each text starts
  std::vector<Entry> entries_;
};

struct Sitemap::Document {
  enum class Failure {
    None,
    CannotLoad,  // the file could not be read
    Refused,     // malformed, or not a sitemap: message says why
    TooLarge,    // unpacks to more than kMaxSitemapBytes
    Silent,      // a sitemap without entries: nothing to check, nothing to say
  };
  Failure failure = Failure::None;
  std::string message;
  // The sitemaps a sitemap index names, in document order; the index itself has no entries.
  bool isIndex = false;
  std::vector<std::string> sitemaps;
};

}  // namespace tallyvane
