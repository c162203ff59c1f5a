// Any bytes given as a URL list file (plain text or CSV, by TALLYVANE_LIST_EXTENSION) are read to
// their end: every line or record, decoded, capped and normalised, never a crash or a hang.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "input/UrlInput.h"

namespace {

// The list file of this fuzzing process, removed when it ends.
struct ScratchList {
  const std::string path = "/dev/shm/tallyvane-fuzz-" + std::to_string(::getpid()) + TALLYVANE_LIST_EXTENSION;
  ~ScratchList() { ::unlink(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchList scratch;
  const std::string& path = scratch.path;
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  tallyvane::UrlInput input;
  if (input.open(path, {}).opened) {
    for (std::string url; input.next(url) != tallyvane::UrlOrigin::None;) {
    }
  }
  input.close();
  return 0;
}
