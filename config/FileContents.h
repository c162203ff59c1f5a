#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tallyvane {

// The bytes of a regular file; nothing when it cannot be opened or read.
std::optional<std::string> readFileContents(const std::filesystem::path& file);

// Writes bytes to a new file in target's folder, syncs it and renames it over target, so a full
// disk or a crash never leaves a truncated file in target's place. False on any failure, with
// target untouched.
bool replaceFileContents(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tallyvane
