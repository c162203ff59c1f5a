#define ZSTD_STATIC_LINKING_ONLY  // the magicless frame format: four bytes less per block
#include "results/PackedHeaders.h"

#include <zdict.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace tallyvane {
namespace {

enum BlobTag : unsigned char { kPlain = 0, kPacked = 1 };

constexpr size_t kDictionaryBytes = 16 * 1024;
constexpr size_t kMaxSampleBytes = size_t{4} << 20;
constexpr size_t kGiveUpAfterBlocks = 64 * HeaderPacker::kTrainingBlocks;
constexpr int kLevel = 1;

size_t varintSize(size_t value) {
  size_t size = 1;
  for (; value >= 0x80; value >>= 7) ++size;
  return size;
}

unsigned char* putVarint(unsigned char* at, size_t value) {
  while (value >= 0x80) {
    *at++ = static_cast<unsigned char>(value | 0x80);
    value >>= 7;
  }
  *at++ = static_cast<unsigned char>(value);
  return at;
}

const unsigned char* getVarint(const unsigned char* at, size_t& value) {
  value = 0;
  for (int shift = 0;; shift += 7) {
    value |= static_cast<size_t>(*at & 0x7F) << shift;
    if ((*at++ & 0x80) == 0) return at;
  }
}

void writePlain(unsigned char* blob, std::string_view text) {
  blob[0] = kPlain;
  std::memcpy(putVarint(blob + 1, text.size()), text.data(), text.size());
}

struct CCtxFree {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct DCtxFree {
  void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// One decompression context per reading thread: readers unpack concurrently.
ZSTD_DCtx* threadDecompressor() {
  thread_local std::unique_ptr<ZSTD_DCtx, DCtxFree> context = [] {
    std::unique_ptr<ZSTD_DCtx, DCtxFree> made(ZSTD_createDCtx());
    if (made) ZSTD_DCtx_setParameter(made.get(), ZSTD_d_format, ZSTD_f_zstd1_magicless);
    return made;
  }();
  return context.get();
}

// One compression context per packing thread: workers pack side by side.
ZSTD_CCtx* threadCompressor() {
  thread_local std::unique_ptr<ZSTD_CCtx, CCtxFree> context = [] {
    std::unique_ptr<ZSTD_CCtx, CCtxFree> made(ZSTD_createCCtx());
    if (made) {
      ZSTD_CCtx_setParameter(made.get(), ZSTD_c_format, ZSTD_f_zstd1_magicless);
      ZSTD_CCtx_setParameter(made.get(), ZSTD_c_contentSizeFlag, 0);  // the blob holds the size
      ZSTD_CCtx_setParameter(made.get(), ZSTD_c_checksumFlag, 0);
      ZSTD_CCtx_setParameter(made.get(), ZSTD_c_dictIDFlag, 0);
    }
    return made;
  }();
  return context.get();
}

}  // namespace

// A trained dictionary, ready for packing and unpacking. Never changes once made.
class HeaderDictionary {
 public:
  HeaderDictionary(const void* bytes, size_t size)
      : packing_(ZSTD_createCDict(bytes, size, kLevel)), unpacking_(ZSTD_createDDict(bytes, size)) {
    if (!packing_ || !unpacking_) {
      ZSTD_freeCDict(packing_);
      ZSTD_freeDDict(unpacking_);
      throw std::bad_alloc();
    }
  }
  ~HeaderDictionary() {
    ZSTD_freeCDict(packing_);
    ZSTD_freeDDict(unpacking_);
  }
  HeaderDictionary(const HeaderDictionary&) = delete;
  HeaderDictionary& operator=(const HeaderDictionary&) = delete;

  // The packed size, or 0 when packing failed or would not save anything.
  size_t pack(std::string_view text, char* into, size_t room) const {
    ZSTD_CCtx* context = threadCompressor();
    if (context == nullptr || ZSTD_isError(ZSTD_CCtx_refCDict(context, packing_))) return 0;
    const size_t size = ZSTD_compress2(context, into, room, text.data(), text.size());
    return ZSTD_isError(size) || size >= text.size() ? 0 : size;
  }
  bool unpack(const unsigned char* packed, size_t packedSize, char* into, size_t size) const {
    ZSTD_DCtx* context = threadDecompressor();
    if (context == nullptr) return false;
    const size_t got = ZSTD_decompress_usingDDict(context, into, size, packed, packedSize, unpacking_);
    return !ZSTD_isError(got) && got == size;
  }

 private:
  ZSTD_CDict* packing_;
  ZSTD_DDict* unpacking_;
};

std::string_view PackedHeaders::text(std::string& buffer) const {
  if (blob_ == nullptr) return {};
  const unsigned char* at = blob_ + 1;
  if (*blob_ == kPlain) {
    size_t size = 0;
    at = getVarint(at, size);
    return {reinterpret_cast<const char*>(at), size};
  }
  const HeaderDictionary* dictionary = nullptr;
  std::memcpy(&dictionary, at, sizeof dictionary);
  at += sizeof dictionary;
  size_t size = 0, packedSize = 0;
  at = getVarint(getVarint(at, size), packedSize);
  buffer.resize(size);
  if (!dictionary->unpack(at, packedSize, buffer.data(), size)) buffer.clear();
  return buffer;
}

PackedHeaders PackedHeaders::plain(std::string_view text, std::string& storage) {
  if (text.empty()) return {};
  storage.resize(1 + varintSize(text.size()) + text.size());
  auto* blob = reinterpret_cast<unsigned char*>(storage.data());
  writePlain(blob, text);
  return PackedHeaders(blob);
}

std::string PackedHeaders::text() const {
  std::string buffer;
  const std::string_view view = text(buffer);
  return view.data() == buffer.data() ? buffer : std::string(view);
}

HeaderPacker::HeaderPacker() = default;
HeaderPacker::~HeaderPacker() = default;

PackedHeaders HeaderPacker::pack(std::string_view text, Arena& arena) {
  if (text.empty()) return {};
  if (packAhead(text, blob_)) return place(blob_, arena);
  gatherSample(text);
  auto* blob = static_cast<unsigned char*>(arena.allocate(1 + varintSize(text.size()) + text.size(), 1));
  writePlain(blob, text);
  return PackedHeaders(blob);
}

bool HeaderPacker::packAhead(std::string_view text, std::string& blob) const {
  blob.clear();
  const HeaderDictionary* dictionary = ready_.load(std::memory_order_acquire);
  if (dictionary == nullptr || text.empty()) return false;
  // Room for the longest blob: the plain one, or the packed one at its bound.
  const size_t header = 1 + sizeof dictionary + 2 * varintSize(ZSTD_compressBound(text.size()));
  blob.resize(std::max(1 + varintSize(text.size()) + text.size(), header + ZSTD_compressBound(text.size())));
  auto* start = reinterpret_cast<unsigned char*>(blob.data());
  // Packed first at the end of the room, then moved behind its header once its size is known.
  char* packedAt = blob.data() + header;
  const size_t packedSize = dictionary->pack(text, packedAt, blob.size() - header);
  if (packedSize == 0) {
    writePlain(start, text);
    blob.resize(1 + varintSize(text.size()) + text.size());
    return true;
  }
  start[0] = kPacked;
  std::memcpy(start + 1, &dictionary, sizeof dictionary);
  unsigned char* at = putVarint(putVarint(start + 1 + sizeof dictionary, text.size()), packedSize);
  std::memmove(at, packedAt, packedSize);
  blob.resize(static_cast<size_t>(at - start) + packedSize);
  return true;
}

PackedHeaders HeaderPacker::place(std::string_view blob, Arena& arena) {
  if (blob.empty()) return {};
  auto* placed = static_cast<unsigned char*>(arena.allocate(blob.size(), 1));
  std::memcpy(placed, blob.data(), blob.size());
  return PackedHeaders(placed);
}

void HeaderPacker::gatherSample(std::string_view text) {
  if (dictionary_ || trainAt_ > kGiveUpAfterBlocks) return;
  if (samples_.size() + text.size() <= kMaxSampleBytes) {
    samples_.append(text);
    sampleSizes_.push_back(text.size());
  }
  if (sampleSizes_.size() >= trainAt_ || samples_.size() + text.size() > kMaxSampleBytes) train();
}

void HeaderPacker::train() {
  std::string dictionary(kDictionaryBytes, '\0');
  const size_t size = ZDICT_trainFromBuffer(dictionary.data(), dictionary.size(), samples_.data(), sampleSizes_.data(),
                                            static_cast<unsigned>(sampleSizes_.size()));
  if (!ZDICT_isError(size)) {
    dictionary_ = std::make_unique<HeaderDictionary>(dictionary.data(), size);
    ready_.store(dictionary_.get(), std::memory_order_release);
  } else {
    trainAt_ *= 4;  // too few or too alike: try again with more
  }
  if (dictionary_ || trainAt_ > kGiveUpAfterBlocks || samples_.size() >= kMaxSampleBytes) {
    std::string().swap(samples_);
    std::vector<size_t>().swap(sampleSizes_);
    if (!dictionary_) trainAt_ = kGiveUpAfterBlocks + 1;
  }
}

void HeaderPacker::clear() {
  ready_.store(nullptr, std::memory_order_release);
  dictionary_.reset();
  std::string().swap(samples_);
  std::vector<size_t>().swap(sampleSizes_);
  trainAt_ = kTrainingBlocks;
}

size_t HeaderPacker::memoryBytes() const {
  return samples_.capacity() + sampleSizes_.capacity() * sizeof(size_t) + (dictionary_ ? 3 * kDictionaryBytes : 0);
}

}  // namespace tallyvane
