// Any document given to the sitemap reader, plain or gzip, ends in a refusal or a list of URLs,
// never a crash. Read twice: from a file, as an input list is, and from memory, as a fetched
// sitemap is, into the same sitemap as a second document of an index.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "input/Sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tallyvane::FileDescriptor fd(::memfd_create("sitemap", 0));
  if (!fd.valid() || !tallyvane::writeAll(fd.get(), bytes)) return 0;
  ::lseek(fd.get(), 0, SEEK_SET);
  tallyvane::Sitemap sitemap;
  (void)sitemap.add(std::move(fd));
  (void)sitemap.add(bytes);
  for (size_t i = 0; i < sitemap.entryCount(); ++i) {
    const auto& entry = sitemap.entry(i);
    for (uint32_t k = 0; k < entry.mediaCount; ++k) (void)sitemap.media(entry, k);
    if (entry.loc != tallyvane::Sitemap::kNoLoc) (void)sitemap.loc(entry);
  }
  return 0;
}
