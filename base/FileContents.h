#pragma once
// Reading whole files, and the one way every file of the program is written: a new version is
// completed beside the old one before it takes its place.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/FileDescriptor.h"

namespace tallyvane {

// The bytes of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> readFileContents(const std::filesystem::path& file);

// A new version of target, written through a buffer with every write checked.
//
// A missing or regular target (a symbolic link is followed to the file it names; an existing one
// must be writable) is written to a temporary file created exclusively in the target's folder;
// replaceTarget() renames it over the target, keeping the old file's permissions and owner, and
// syncs the folder, so a full disk, a crash or a stop never leaves a truncated file in the
// target's place. A target that exists and is not a regular file (/dev/stdout, a FIFO, a device),
// or is the file this program's standard output or error already writes to, is written directly
// instead: replacing it would put a regular file where the device or the redirection was.
//
// A temporary file that is not finished is removed: by discard(), on destruction, or by
// removeUnfinishedFiles(). Whatever fails says why in failure(), taken as it fails.
class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement() { discard(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // temporaryName is the temporary file's name in the target's folder (a leftover of that name
  // from a crash is removed first); empty means the target's name + ".partial". A target that does
  // not exist yet is created with newFileMode (less the umask). False when nothing can be written.
  bool open(const std::filesystem::path& target, std::string_view temporaryName = {}, mode_t newFileMode = 0666);
  // False once any write has failed.
  bool write(std::string_view bytes);
  // Appends length bytes of from, starting at offset, as write() would.
  bool copyFrom(const FileDescriptor& from, uint64_t offset, uint64_t length);
  // Writes bytes over what was written at offset already; only for a file being replaced, as a
  // pipe or a terminal cannot go back.
  bool overwrite(uint64_t offset, std::string_view bytes);
  // Flushes, syncs and closes; false when any of it (or an earlier write) failed, the temporary
  // file then being removed.
  bool finish();
  // After finish(): the temporary file takes the target's place. False when it could not, the
  // temporary file then being removed and the target untouched.
  bool replaceTarget();
  bool commit() { return finish() && replaceTarget(); }
  // Closes and removes the temporary file; the target stays as it was.
  void discard();

  bool writesDirectly() const { return temporary_.empty(); }
  // Why open(), a write, finish() or replaceTarget() failed, taken as it failed; open() clears it.
  const std::optional<SystemError>& failure() const { return failure_; }

 private:
  bool openTemporary(const std::filesystem::path& target, std::string_view temporaryName, mode_t newFileMode);
  bool flush();
  bool fail(std::string_view doing, const std::filesystem::path& path);  // false, with errno taken
  const std::filesystem::path& writtenFile() const { return writesDirectly() ? target_ : temporary_; }
  void forgetTemporary(bool remove);

  FileDescriptor fd_;
  std::filesystem::path target_;     // with symbolic links resolved
  std::filesystem::path temporary_;  // empty when written directly
  std::string buffer_;
  bool finished_ = false;
  std::optional<SystemError> failure_;
};

// Writes bytes as target's new version (see FileReplacement); false on any failure, target then
// untouched.
bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes, mode_t newFileMode = 0666);

// For a program about to end at once: removes every temporary file being written now and lets no
// new one be created. Safe from any thread (not from a signal handler).
void removeUnfinishedFiles();

// Why target cannot be written, or nothing, found by starting to: a target to be replaced gets its
// temporary file created and removed again; one written directly is only checked for access.
std::optional<SystemError> probeWritable(const std::filesystem::path& target);

// Whether FileReplacement writes target directly rather than replacing it.
bool isWrittenDirectly(const std::filesystem::path& target);

// Whether two paths name the same existing file (through links as well).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tallyvane
