#include "results/Arena.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "results/LargePages.h"

namespace tallyvane {
namespace {

size_t roundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

std::byte* Arena::mapChunk(size_t size) {
  if (size > limit_ - held_) throw std::bad_alloc();
  chunks_.reserve(chunks_.size() + 1);
  std::byte* chunk = mapLargePages(size, true);  // bump allocation fills it all
  chunks_.push_back(Chunk{chunk, size});
  held_ += size;
  return chunk;
}

void* Arena::allocate(size_t bytes, size_t alignment) {
  const size_t padding = (0 - reinterpret_cast<uintptr_t>(cursor_)) & (alignment - 1);
  if (cursor_ == nullptr || padding + bytes > left_) return allocateFromNewChunk(bytes);
  std::byte* result = cursor_ + padding;
  cursor_ = result + bytes;
  left_ -= padding + bytes;
  return result;
}

void* Arena::allocateFromNewChunk(size_t bytes) {
  if (bytes > kChunkSize / 4) {
    // A large request gets a chunk of its own; bump allocation goes on in the current one.
    return mapChunk(roundUp(bytes, 4096));
  }
  std::byte* result = mapChunk(kChunkSize);
  cursor_ = result + bytes;
  left_ = kChunkSize - bytes;
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
  for (const Chunk& chunk : chunks_) unmapLargePages(chunk.base, chunk.size);
  chunks_.clear();
  cursor_ = nullptr;
  left_ = 0;
  held_ = 0;
}

}  // namespace tallyvane
