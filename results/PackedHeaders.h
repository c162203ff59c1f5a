#pragma once
// Raw header blocks are most of a record's bytes, yet they are read only when one response is
// shown or a raw-headers report or results file is written. The store keeps them compressed
// (LZ4, with a dictionary made of the crawl's first blocks) and unpacks them on demand.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "results/Arena.h"

namespace tallyvane {

class HeaderDictionary;

// A header block in the store: a tag byte, then (when packed) the dictionary it was packed with,
// the text's size, the packed size and the packed bytes; else the size and the text itself.
class PackedHeaders {
 public:
  PackedHeaders() = default;
  explicit PackedHeaders(const unsigned char* blob) : blob_(blob) {}
  // Text kept as it is, in storage (which must outlive the result): for records built outside
  // the store, such as the low-memory report's.
  static PackedHeaders plain(std::string_view text, std::string& storage);

  bool empty() const { return blob_ == nullptr; }
  // The text, unpacked into buffer when it was compressed; "" when absent.
  std::string_view text(std::string& buffer) const;
  // The text as a string, for the odd reader that wants one.
  std::string text() const;

 private:
  const unsigned char* blob_ = nullptr;
};

// Packs header blocks into an arena. Not thread-safe: the store calls it under its lock. The
// dictionary lives as long as the packer is not cleared, as the blocks do.
class HeaderPacker {
 public:
  // Blocks kept as they are while the first ones are gathered to make the dictionary of.
  static constexpr size_t kSampleBlocks = 1000;

  HeaderPacker();
  ~HeaderPacker();
  HeaderPacker(const HeaderPacker&) = delete;
  HeaderPacker& operator=(const HeaderPacker&) = delete;

  // Throws std::bad_alloc when the arena is full.
  PackedHeaders pack(std::string_view text, Arena& arena);
  // Safe on any thread, also while another packs or places: the blob pack() would place for
  // text, made into blob so that the caller can pack before taking the store's lock. False while
  // there is no dictionary yet: then only pack() will do, as it gathers the samples.
  bool packAhead(std::string_view text, std::string& blob) const;
  // A blob made by packAhead() of this packer, copied into the arena. Throws std::bad_alloc.
  static PackedHeaders place(std::string_view blob, Arena& arena);
  // Forgets the dictionary and the samples; the caller clears the arena with it.
  void clear();
  size_t memoryBytes() const;

 private:
  void gatherSample(std::string_view text);
  void makeDictionary();

  std::string samples_;
  std::vector<size_t> sampleSizes_;
  std::unique_ptr<HeaderDictionary> dictionary_;
  std::atomic<const HeaderDictionary*> ready_{nullptr};  // dictionary_ once made, for packAhead()
  std::string blob_;  // scratch for one blob
};

}  // namespace tallyvane
