// Any document given to the sitemap reader ends in a refusal or a list of URLs, never a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "input/Sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tallyvane::FileDescriptor fd(::memfd_create("sitemap", 0));
  if (!fd.valid() || !tallyvane::writeAll(fd.get(), {reinterpret_cast<const char*>(data), size})) return 0;
  ::lseek(fd.get(), 0, SEEK_SET);
  const tallyvane::Sitemap::Parsed parsed = tallyvane::Sitemap::parse(std::move(fd));
  if (parsed.sitemap) {
    for (size_t i = 0; i < parsed.sitemap->entryCount(); ++i) {
      const auto& entry = parsed.sitemap->entry(i);
      for (uint32_t k = 0; k < entry.mediaCount; ++k) (void)parsed.sitemap->media(entry, k);
      if (entry.loc != tallyvane::Sitemap::kNoLoc) (void)parsed.sitemap->loc(entry);
    }
  }
  return 0;
}
