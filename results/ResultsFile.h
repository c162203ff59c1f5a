#pragma once
// The results file (.tvl): a tagged little-endian format holding the whole store.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "results/CsvReport.h"
#include "results/ResultStore.h"

namespace tallyvane {

inline constexpr std::string_view kCannotOpenResultsMessage = "Cannot open results file.";

inline constexpr int32_t kResultsFileMagic = 0x00007906;
inline constexpr uint8_t kResultsFileMajor = 1;
inline constexpr uint8_t kResultsFileMinor = 1;

inline constexpr std::string_view kSaveOverFolderMessage = "Cannot save! There exists a folder with the same name.";

// Writes every record through "<name>.tvltemp" beside the target, which is replaced only by a
// complete, synced file. An empty store is saved as a header with a count of 0.
std::optional<Message> saveResults(const ResultStore& store, TestMode testMode, const std::filesystem::path& path,
                                       const TaskProgress& progress = {}, const std::atomic<bool>* quitting = nullptr);

struct LoadOutcome {
  std::optional<Message> message;  // nothing when the whole file loaded
  TestMode testMode = TestMode::None;  // Canonical when it holds verdicts: the file keeps no test name
  int64_t responses = 0;
};

// Adds every record of the file to the store (which the caller has cleared). Records added
// before an error stay, as the message says where it failed.
LoadOutcome loadResults(ResultStore& store, const std::filesystem::path& path, const TaskProgress& progress = {},
                        const std::atomic<bool>* quitting = nullptr);

}  // namespace tallyvane
