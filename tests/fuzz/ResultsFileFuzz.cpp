// Any bytes given to the results-file loader end in a message or a loaded store, never a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "results/ResultsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("results", 0);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) return 0;
  tallyvane::ResultStore store;
  tallyvane::loadResults(store, "/proc/self/fd/" + std::to_string(fd));
  ::close(fd);
  return 0;
}
