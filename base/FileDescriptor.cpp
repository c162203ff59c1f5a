#include "base/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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

bool writeAllAt(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    const ssize_t written = retriedOnInterrupt([&] { return ::pwrite(fd, bytes.data(), bytes.size(), offset); });
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
    offset += written;
  }
  return true;
}

bool copyRange(int from, off_t offset, size_t length, int to) {
  // The kernel copies page to page, without the two trips through user memory a buffer costs.
  while (length > 0) {
    const ssize_t copied = retriedOnInterrupt([&] { return ::copy_file_range(from, &offset, to, nullptr, length, 0); });
    if (copied > 0) {
      length -= static_cast<size_t>(copied);
      continue;
    }
    if (copied == 0) {
      errno = EIO;  // the source ended before the range did
      return false;
    }
    // Unsupported between these files (other file systems, a pipe, an old kernel): copy by hand.
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF) return false;
    break;
  }
  std::string buffer(std::min<size_t>(length, size_t{1} << 20), '\0');
  while (length > 0) {
    const ssize_t got = readSomeAt(from, buffer.data(), std::min(buffer.size(), length), offset);
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return false;
    }
    if (!writeAll(to, std::string_view(buffer.data(), static_cast<size_t>(got)))) return false;
    length -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

}  // namespace tallyvane
