#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

// The bytes of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> readFileContents(const std::filesystem::path& file);

// A file written through a buffer, every write and the close checked. Nothing is kept of a file
// that was not finished: discard() (or destruction) removes it.
class FileWriter {
 public:
  FileWriter() = default;
  ~FileWriter() { discard(); }
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Creates (or truncates) path, owner read-write and group/other read.
  bool create(const std::filesystem::path& path);
  // Creates a new owner-only file with a name of its own beside target.
  bool createBeside(const std::filesystem::path& target);
  const std::filesystem::path& path() const { return path_; }
  // False once any write has failed.
  bool write(std::string_view bytes);
  // Flushes, syncs and closes; false when any of it (or an earlier write) failed.
  bool finish();
  void discard();

 private:
  bool flush();
  void opened(int fd, std::filesystem::path path);
  int fd_ = -1;
  std::filesystem::path path_;
  std::string buffer_;
  bool failed_ = false;
};

// Writes bytes to a new file in target's folder, syncs it and renames it over target, so a full
// disk or a crash never leaves a truncated file in target's place. False on any failure, with
// target untouched.
bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tallyvane
