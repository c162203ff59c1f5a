#pragma once
// The results file (.tvl): a tagged little-endian format holding the whole store.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <optional>

#include "results/CsvReport.h"
#include "results/ResultStore.h"

namespace tallyvane {

inline constexpr std::string_view kCannotOpenResultsMessage = "Cannot open results file.";

inline constexpr int32_t kResultsFileMagic = 0x00007906;
inline constexpr uint8_t kResultsFileMajor = 1;
inline constexpr uint8_t kResultsFileMinor = 1;

inline constexpr std::string_view kSaveOverFolderMessage = "Cannot save! There exists a folder with the same name.";

inline constexpr std::string_view kResultsWriteErrorMessage = "There was an error writing the results file.";

// The name of the temporary file a results file is written to, in its folder: "<name>.tvltemp".
std::string resultsTemporaryName(const std::filesystem::path& target);
// The bytes a results file of count records starts with.
std::string resultsFileHeader(int64_t count);

// Why a save to path would fail before writing a record (a folder of that name, or no temporary
// file can be made beside it); nothing when it can begin. Leaves no file behind.
std::optional<Message> saveRefusal(const std::filesystem::path& path);
// Writes every record through "<name>.tvltemp" beside the target, which is replaced only by a
// complete, synced file. An empty store is saved as a header with a count of 0.
std::optional<Message> saveResults(const ResultStore& store, TestMode testMode, const std::filesystem::path& path,
                                       const TaskProgress& progress = {}, const std::atomic<bool>* quitting = nullptr);

struct LoadOutcome {
  std::optional<Message> message;  // nothing when the whole file loaded
  TestMode testMode = TestMode::None;  // Canonical when it holds verdicts: the file keeps no test name
  int64_t responses = 0;
};

// Where a record lies in its file: from its record tag to the next one (or the end).
struct RecordBytes {
  uint64_t start = 0;
  uint64_t end = 0;
};

// One record as it is read: its hops, the file's test mode and its bytes in the file.
struct FileRecord {
  std::span<const HopRecord> hops;
  TestMode testMode = TestMode::None;
  RecordBytes bytes;
};

// Given each record in turn; a text ends the reading with that error.
using RecordVisitor = std::function<std::optional<std::string_view>(const FileRecord&)>;

// Reads and checks every record of the file, in file order. The outcome's message tells the first
// error, the visitor's included.
LoadOutcome readResults(const std::filesystem::path& path, const RecordVisitor& visit, const TaskProgress& progress = {},
                        const std::atomic<bool>* quitting = nullptr);

// Adds every record of the file to the store (which the caller has cleared). Records added
// before an error stay, as the message says where it failed.
LoadOutcome loadResults(ResultStore& store, const std::filesystem::path& path, const TaskProgress& progress = {},
                        const std::atomic<bool>* quitting = nullptr);

}  // namespace tallyvane
