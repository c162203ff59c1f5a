#pragma once
// A fresh folder under the system's temporary folder, removed with its contents at the end.

#include <filesystem>
#include <string>

namespace tallyvane::testing {

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Writes bytes to a file in the folder and returns its path.
  std::filesystem::path write(const std::string& name, const std::string& bytes) const;
  // The whole content of a file.
  static std::string read(const std::filesystem::path& file);

 private:
  std::filesystem::path path_;
};

}  // namespace tallyvane::testing
