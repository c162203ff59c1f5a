#include "base/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tallyvane {
namespace {

// Calls call again for as long as a signal interrupts it.
template <typename Call>
auto retriedOnInterrupt(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

}  // namespace

SystemError lastSystemError(std::string_view doing) {
  const int code = errno;
  return {code, std::string(doing) + ": " + std::generic_category().message(code)};
}

void FileDescriptor::reset(int fd) {
  if (fd_ >= 0) {
    const int kept = errno;
    ::close(fd_);
    errno = kept;
  }
  fd_ = fd;
}

bool FileDescriptor::close() {
  // Not retried on EINTR: Linux frees the descriptor even then, and another thread may own
  // that number by now.
  const int fd = release();
  return fd < 0 || ::close(fd) == 0;
}

FileDescriptor openFile(const char* path, int flags, mode_t mode) {
  return FileDescriptor(retriedOnInterrupt([&] { return ::open(path, flags | O_CLOEXEC, mode); }));
}

ssize_t readSome(int fd, void* buffer, size_t size) {
  return retriedOnInterrupt([&] { return ::read(fd, buffer, size); });
}

ssize_t readSomeAt(int fd, void* buffer, size_t size, off_t offset) {
  return retriedOnInterrupt([&] { return ::pread(fd, buffer, size, offset); });
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = retriedOnInterrupt([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (written < 0) return false;
    if (written == 0) {
      errno = EIO;  // no progress and no reason given: not worth waiting for
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace tallyvane
