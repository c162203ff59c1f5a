#include "base/FileContents.h"

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

void FileWriter::opened(int fd, std::filesystem::path path) {
  fd_ = fd;
  path_ = std::move(path);
  failed_ = false;
  buffer_.clear();
  buffer_.reserve(1 << 20);
}

bool FileWriter::create(const std::filesystem::path& path) {
  discard();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  opened(fd, path);
  return true;
}

bool FileWriter::createBeside(const std::filesystem::path& target) {
  discard();
  std::string temporary = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  opened(fd, temporary);
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
  FileWriter file;
  if (!file.createBeside(target) || !file.write(bytes) || !file.finish()) return false;
  if (::rename(file.path().c_str(), target.c_str()) == 0) return true;
  ::unlink(file.path().c_str());
  return false;
}

}  // namespace tallyvane
