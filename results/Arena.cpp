#include "results/Arena.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tallyvane {

void Arena::FreeDeleter::operator()(std::byte* p) const { std::free(p); }

void* Arena::allocate(size_t bytes, size_t alignment) {
  const size_t padding = (alignment - reinterpret_cast<uintptr_t>(cursor_) % alignment) % alignment;
  if (cursor_ == nullptr || padding + bytes > left_) {
    // A large request gets a chunk of its own so the current chunk's tail is not wasted.
    const bool ownChunk = bytes > kChunkSize / 4;
    const size_t size = ownChunk ? bytes + alignment : kChunkSize;
    if (size > limit_ - held_) throw std::bad_alloc();
    chunks_.reserve(chunks_.size() + 1);
    auto* chunk = static_cast<std::byte*>(std::malloc(size));
    if (chunk == nullptr) throw std::bad_alloc();
    chunks_.emplace_back(chunk);
    held_ += size;
    const size_t chunkPadding = (alignment - reinterpret_cast<uintptr_t>(chunk) % alignment) % alignment;
    if (ownChunk) {
      // Keep bump-allocating from the previous chunk.
      return chunk + chunkPadding;
    }
    cursor_ = chunk;
    left_ = size;
    return allocate(bytes, alignment);
  }
  std::byte* result = cursor_ + padding;
  cursor_ = result + bytes;
  left_ -= padding + bytes;
  return result;
}

const char* Arena::copyText(std::string_view text) {
  if (text.empty()) return nullptr;
  auto* copy = static_cast<char*>(allocate(text.size() + 1, 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void Arena::clear() {
  chunks_.clear();
  cursor_ = nullptr;
  left_ = 0;
  held_ = 0;
}

}  // namespace tallyvane
