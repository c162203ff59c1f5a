#pragma once
// The one way the program talks to the kernel about the files it reads and writes: an owned
// file descriptor, and calls that go on when a signal interrupts them (EINTR). A failed call
// leaves errno as the kernel set it, for the caller's message.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace tallyvane {

// Why a call failed, taken as it failed: errno, and a text naming what was being done and the
// kernel's reason ("creating /srv/r.csv.partial: Permission denied").
struct SystemError {
  int code = 0;
  std::string text;
};

// errno as the last call left it, with what was being done.
SystemError lastSystemError(std::string_view doing);

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held (errno kept), then holds fd.
  void reset(int fd = -1);
  // Closes it now; false, with errno set, when the kernel reports an error on closing (a write
  // that failed late, on some file systems).
  bool close();

 private:
  int fd_ = -1;
};

// open(2); not valid when it fails, errno then set.
FileDescriptor openFile(const char* path, int flags, mode_t mode = 0);

// read(2) and pread(2): the bytes read, 0 at the end of the file, -1 on failure.
ssize_t readSome(int fd, void* buffer, size_t size);
ssize_t readSomeAt(int fd, void* buffer, size_t size, off_t offset);

// Writes every byte, also after short writes; false on failure.
bool writeAll(int fd, std::string_view bytes);

// pwrite(2) of every byte at offset; false on failure.
bool writeAllAt(int fd, std::string_view bytes, off_t offset);

// Appends length bytes of from, starting at offset, to to's current position: inside the kernel
// where the file systems allow it, else through a buffer. False on failure, or when from ends
// early (errno EIO).
bool copyRange(int from, off_t offset, size_t length, int to);

}  // namespace tallyvane
