#include "base/FileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

constexpr size_t kBufferBytes = size_t{1} << 20;
constexpr int kMaxLinkHops = 40;  // as the kernel's own limit

// The temporary files being written now, for removeUnfinishedFiles().
struct UnfinishedFiles {
  std::mutex mutex;
  std::vector<fs::path> paths;
  bool closed = false;
};

UnfinishedFiles& unfinishedFiles() {
  static UnfinishedFiles files;
  return files;
}

// The file target names once every symbolic link on its last component is followed; a link
// whose file does not exist yet gives the path that file will have.
fs::path withLinksResolved(fs::path path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::error_code error;
    const fs::path link = fs::read_symlink(path, error);
    if (error) return path;
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return path;
}

fs::path folderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

bool sameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

constexpr int kReplace = -1;
constexpr int kOpenByPath = -2;

// How target is written: replaced (kReplace: missing or a regular file), opened and written
// (kOpenByPath: an existing device, FIFO or the like), or through standard output or error when
// it is the file one of them writes to, so a report sent to a redirected /dev/stdout continues
// that stream instead of truncating it.
int writingOf(const fs::path& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return kReplace;
  if (!S_ISREG(info.st_mode)) return kOpenByPath;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && sameInode(stream, info)) return fd;
  }
  return kReplace;
}

void syncFolder(const fs::path& folder) {
  // Makes the rename itself durable; some file systems cannot sync a folder, which is no error.
  const FileDescriptor fd = openFile(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd.valid()) ::fsync(fd.get());
}

FileDescriptor createExclusively(const fs::path& path, mode_t mode) {
  return openFile(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
}

}  // namespace

std::optional<std::string> readFileContents(const fs::path& file) {
  const FileDescriptor fd = openFile(file.c_str(), O_RDONLY);
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string bytes;
  bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = readSome(fd.get(), buffer, sizeof buffer);
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

bool FileReplacement::open(const fs::path& target, std::string_view temporaryName, mode_t newFileMode) {
  discard();
  finished_ = false;
  failure_.reset();
  buffer_.clear();
  buffer_.reserve(kBufferBytes);
  const int writing = writingOf(target);
  if (writing == kReplace) return openTemporary(withLinksResolved(target), temporaryName, newFileMode);
  target_ = target;
  std::fflush(nullptr);  // what stdio holds for a standard stream comes first
  fd_ = writing == kOpenByPath ? openFile(target.c_str(), O_WRONLY) : FileDescriptor(::fcntl(writing, F_DUPFD_CLOEXEC, 0));
  return fd_.valid() || fail("opening", target);
}

bool FileReplacement::fail(std::string_view doing, const fs::path& path) {
  failure_ = lastSystemError(std::string(doing) + " " + path.string());
  return false;
}

bool FileReplacement::openTemporary(const fs::path& target, std::string_view temporaryName, mode_t newFileMode) {
  std::string name = temporaryName.empty() ? target.filename().string() + ".partial" : std::string(temporaryName);
  if (name == target.filename().string()) name += ".partial";  // the target itself has the temporary name
  const fs::path temporary = folderOf(target) / name;
  struct stat existing {};
  const bool replacing = ::stat(target.c_str(), &existing) == 0;
  // A folder is no file to replace; a file its owner made read-only is kept as it is.
  if (replacing && S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    return fail("replacing", target);
  }
  if (replacing && ::access(target.c_str(), W_OK) != 0) return fail("replacing", target);
  // Judged by its mode bits too: root may write anything, but a file made read-only stays.
  if (replacing && (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    errno = EACCES;
    return fail("replacing", target);
  }
  UnfinishedFiles& unfinished = unfinishedFiles();
  std::lock_guard lock(unfinished.mutex);
  if (unfinished.closed) {
    errno = ECANCELED;  // the program is ending
    return fail("creating", temporary);
  }
  // Owner-only while it is written; the target's own permissions once complete.
  const mode_t mode = replacing ? S_IRUSR | S_IWUSR : newFileMode;
  FileDescriptor fd = createExclusively(temporary, mode);
  if (!fd.valid() && errno == EEXIST && ::unlink(temporary.c_str()) == 0) fd = createExclusively(temporary, mode);
  if (!fd.valid()) return fail("creating", temporary);
  if (replacing) {
    // Root replacing a user's file must not make it root's. Anyone else can only fail here for a
    // file of another owner, which then becomes the writer's, as a copy would.
    [[maybe_unused]] const bool ownerKept = ::fchown(fd.get(), existing.st_uid, existing.st_gid) == 0;
    if (::fchmod(fd.get(), existing.st_mode & 07777) != 0) {
      fail("setting the permissions of", temporary);
      fd.reset();
      ::unlink(temporary.c_str());
      return false;
    }
  }
  unfinished.paths.push_back(temporary);
  fd_ = std::move(fd);
  target_ = target;
  temporary_ = temporary;
  return true;
}

bool FileReplacement::flush() {
  if (!failure_ && !writeAll(fd_.get(), buffer_)) fail("writing", writtenFile());
  buffer_.clear();
  return !failure_;
}

bool FileReplacement::write(std::string_view bytes) {
  if (!fd_.valid() || failure_) return false;
  buffer_.append(bytes);
  return buffer_.size() < kBufferBytes || flush();
}

bool FileReplacement::copyFrom(const FileDescriptor& from, uint64_t offset, uint64_t length) {
  if (!fd_.valid() || failure_ || !flush()) return false;
  if (!copyRange(from.get(), static_cast<off_t>(offset), static_cast<size_t>(length), fd_.get())) {
    return fail("writing", writtenFile());
  }
  return true;
}

bool FileReplacement::overwrite(uint64_t offset, std::string_view bytes) {
  if (!fd_.valid() || failure_ || writesDirectly() || !flush()) return false;
  if (!writeAllAt(fd_.get(), bytes, static_cast<off_t>(offset))) return fail("writing", writtenFile());
  return true;
}

bool FileReplacement::finish() {
  if (!fd_.valid()) return false;
  bool ok = flush();
  // A pipe or a terminal cannot be synced; only a file of our own must be on disk.
  if (ok && !writesDirectly() && ::fsync(fd_.get()) != 0) ok = fail("syncing", writtenFile());
  if (!fd_.close() && ok) ok = fail("closing", writtenFile());
  if (!ok) {
    forgetTemporary(true);
    return false;
  }
  finished_ = true;
  return true;
}

bool FileReplacement::replaceTarget() {
  if (!finished_) return false;
  if (writesDirectly()) return true;
  const bool renamed = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!renamed) fail("renaming " + temporary_.string() + " to", target_);
  forgetTemporary(!renamed);
  if (renamed) syncFolder(folderOf(target_));
  return renamed;
}

void FileReplacement::discard() {
  fd_.reset();
  forgetTemporary(true);
  finished_ = false;
}

void FileReplacement::forgetTemporary(bool remove) {
  if (temporary_.empty()) return;
  UnfinishedFiles& unfinished = unfinishedFiles();
  std::lock_guard lock(unfinished.mutex);
  if (remove) ::unlink(temporary_.c_str());
  std::erase(unfinished.paths, temporary_);
  temporary_.clear();
}

bool replaceFileContents(const fs::path& target, std::string_view bytes, mode_t newFileMode) {
  FileReplacement file;
  return file.open(target, {}, newFileMode) && file.write(bytes) && file.commit();
}

void removeUnfinishedFiles() {
  UnfinishedFiles& unfinished = unfinishedFiles();
  std::lock_guard lock(unfinished.mutex);
  for (const fs::path& path : unfinished.paths) ::unlink(path.c_str());
  unfinished.paths.clear();
  unfinished.closed = true;
}

std::optional<SystemError> probeWritable(const fs::path& target) {
  if (isWrittenDirectly(target)) {
    // Opening a FIFO would wait for its reader, and a device may act on being opened.
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      errno = EISDIR;
    } else if (::access(target.c_str(), W_OK) == 0) {
      return std::nullopt;
    }
    return lastSystemError("writing " + target.string());
  }
  FileReplacement probe;
  if (!probe.open(target)) return probe.failure();
  probe.discard();
  return std::nullopt;
}

bool isWrittenDirectly(const fs::path& target) { return writingOf(target) != kReplace; }

bool sameFile(const fs::path& a, const fs::path& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && sameInode(first, second);
}

}  // namespace tallyvane
