#pragma once
// Bump allocator for the result store: records are only ever freed all at once, so one mapping
// per chunk replaces one malloc per text, and nothing it hands out ever moves.

#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

#include "results/LargePages.h"

namespace tallyvane {

class Arena {
 public:
  // A chunk is one large page, faulted in whole when mapped: one call per 2 MiB instead of one
  // page fault per 4 KiB, which is most of what adding a record would otherwise cost.
  static constexpr size_t kChunkSize = kLargePageSize;

  // limitBytes bounds the chunk bytes the arena may hold (the out-of-memory path in tests).
  explicit Arena(size_t limitBytes = std::numeric_limits<size_t>::max()) : limit_(limitBytes) {}
  ~Arena() { clear(); }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // alignment is a power of two. Throws std::bad_alloc when memory (or the limit) is exhausted.
  void* allocate(size_t bytes, size_t alignment);

  template <typename T>
  T* allocateArray(size_t count) {
    return static_cast<T*>(allocate(sizeof(T) * count, alignof(T)));
  }

  // A zero-terminated copy, or nullptr for empty text (empty text costs nothing).
  const char* copyText(std::string_view text);

  void clear();
  size_t bytesHeld() const { return held_; }

 private:
  struct Chunk {
    std::byte* base;
    size_t size;
  };
  std::byte* mapChunk(size_t size);
  void* allocateFromNewChunk(size_t bytes);  // chunks start at a page, aligned for anything

  std::vector<Chunk> chunks_;
  std::byte* cursor_ = nullptr;
  size_t left_ = 0;
  size_t held_ = 0;
  size_t limit_;
};

}  // namespace tallyvane
