#pragma once
// Memory for the store's and the sort's large arrays in 2 MiB pages where the kernel gives them
// (transparent huge pages on request): in a virtual machine faulting in 4 KiB pages costs more
// than the work done on them (24 MB: about 70 ms in small pages, 2 ms in large ones), and
// millions of records spread over small pages miss the TLB on every random access.

#include <cstddef>
#include <new>
#include <vector>

namespace tallyvane {

inline constexpr size_t kLargePageSize = size_t{2} << 20;

// size bytes (rounded up to whole pages), zeroed, starting on a large-page boundary; faulted in
// at once when faultInNow (memory that will all be written), else page by page as touched (a
// vector's spare capacity stays free). Throws std::bad_alloc.
std::byte* mapLargePages(size_t size, bool faultInNow = false);
void unmapLargePages(std::byte* at, size_t size);

// Arrays of a large page or more are mapped as above, smaller ones come from operator new.
template <typename T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) {}

  T* allocate(size_t n) {
    if (n > max_size()) throw std::bad_alloc();
    const size_t bytes = n * sizeof(T);
    if (bytes < kLargePageSize) return static_cast<T*>(::operator new(bytes));
    return reinterpret_cast<T*>(mapLargePages(bytes));
  }
  void deallocate(T* at, size_t n) {
    const size_t bytes = n * sizeof(T);
    if (bytes < kLargePageSize) {
      ::operator delete(at);
    } else {
      unmapLargePages(reinterpret_cast<std::byte*>(at), bytes);
    }
  }
  static constexpr size_t max_size() { return size_t(-1) / 2 / sizeof(T); }
  bool operator==(const LargePageAllocator&) const { return true; }
};

template <typename T>
using LargeVector = std::vector<T, LargePageAllocator<T>>;

}  // namespace tallyvane
