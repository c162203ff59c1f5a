#include "config/FileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tallyvane {

std::optional<std::string> readFileContents(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    bytes.emplace();
    bytes->reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        bytes.reset();
        break;
      }
      if (got == 0) break;
      bytes->append(buffer, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  return bytes;
}

bool FileWriter::create(const std::filesystem::path& path) {
  discard();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  path_ = path;
  failed_ = false;
  buffer_.clear();
  buffer_.reserve(1 << 20);
  return true;
}

bool FileWriter::flush() {
  std::string_view left = buffer_;
  while (!failed_ && !left.empty()) {
    const ssize_t written = ::write(fd_, left.data(), left.size());
    if (written < 0 && errno == EINTR) continue;
    failed_ = written <= 0;
    if (!failed_) left.remove_prefix(static_cast<size_t>(written));
  }
  buffer_.clear();
  return !failed_;
}

bool FileWriter::write(std::string_view bytes) {
  if (fd_ < 0 || failed_) return false;
  buffer_.append(bytes);
  return buffer_.size() < (1 << 20) || flush();
}

bool FileWriter::finish() {
  if (fd_ < 0) return false;
  bool ok = flush() && ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (!ok) ::unlink(path_.c_str());
  return ok;
}

void FileWriter::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
}

bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
  std::string temporary = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());  // created owner-only
  if (fd < 0) return false;
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) bytes.remove_prefix(static_cast<size_t>(written));
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace tallyvane
