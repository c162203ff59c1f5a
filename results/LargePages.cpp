#include "results/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tallyvane {
namespace {

size_t wholePages(size_t size) { return (size + 4095) / 4096 * 4096; }

}  // namespace

std::byte* mapLargePages(size_t size, bool faultInNow) {
  size = wholePages(size);
  // Map a large page more, then trim to a boundary, so the range lines up with large pages.
  const size_t mapped = size + kLargePageSize;
  void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto* start = static_cast<std::byte*>(raw);
  const size_t head = (kLargePageSize - reinterpret_cast<uintptr_t>(start) % kLargePageSize) % kLargePageSize;
  if (head > 0) ::munmap(start, head);
  const size_t tail = mapped - head - size;
  if (tail > 0) ::munmap(start + head + size, tail);
  std::byte* at = start + head;
  // Both best effort: without them the kernel faults small pages in one by one.
#ifdef MADV_HUGEPAGE
  ::madvise(at, size, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  if (faultInNow) ::madvise(at, size, MADV_POPULATE_WRITE);
#endif
  return at;
}

void unmapLargePages(std::byte* at, size_t size) { ::munmap(at, wholePages(size)); }

}  // namespace tallyvane
