#include "results/ResultsMerge.h"

#include <fcntl.h>

#include <memory>
#include <string>

#include "base/FileContents.h"
#include "base/FileDescriptor.h"
#include "results/ResultsFile.h"
#include "results/UrlIndex.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

// Every URL met so far, its bytes side by side in one text.
class UrlSet {
 public:
  // False when url was there already.
  bool insert(std::string_view url) {
    const uint32_t crc = urlCrc(url);
    const auto same = [&](uint32_t entry) {
      return std::string_view(texts_).substr(starts_[entry], starts_[entry + 1] - starts_[entry]) == url;
    };
    if (index_.find(crc, same)) return false;
    index_.reserveOne();
    texts_.append(url);
    index_.insert(crc, static_cast<uint32_t>(starts_.size() - 1));
    starts_.push_back(texts_.size());
    return true;
  }

 private:
  UrlIndex index_;
  std::string texts_;
  std::vector<size_t> starts_{0};  // entry i is texts_[starts_[i], starts_[i + 1])
};

// Appends the runs of adjacent records that file keeps to out.
bool copyRuns(const fs::path& file, const std::vector<RecordBytes>& runs, FileReplacement& out) {
  const FileDescriptor in = openFile(file.c_str(), O_RDONLY);
  if (!in.valid()) return false;
  for (const RecordBytes& run : runs) {
    if (!out.copyFrom(in, run.start, run.end - run.start)) return false;
  }
  return true;
}

}  // namespace

MergeOutcome mergeResults(const std::vector<fs::path>& inputs, const fs::path& output) {
  MergeOutcome outcome;
  std::error_code ignored;
  if (fs::is_directory(output, ignored)) {
    outcome.message = errorMessage(kSaveOverFolderMessage);
    return outcome;
  }
  FileReplacement out;
  if (!out.open(output, resultsTemporaryName(output))) {
    outcome.message = errorMessage("Cannot create output file: " + output.string());
    return outcome;
  }
  // Each input's records are copied as soon as it has been read whole, so the disk writes the
  // ones before while the next is read; the header's count is set at the end. A pipe cannot go
  // back to its header: there every input is read first.
  const bool copyAsRead = !out.writesDirectly();
  bool written = !copyAsRead || out.write(resultsFileHeader(0));
  UrlSet urls;
  std::vector<std::pair<fs::path, std::vector<RecordBytes>>> deferred;
  std::optional<TestMode> mergedMode;  // of the first input that holds a record
  fs::path modeFile;
  bool mixedModes = false;
  for (const fs::path& input : inputs) {
    std::vector<RecordBytes> runs;
    const LoadOutcome read = readResults(input, [&](const FileRecord& record) -> std::optional<std::string_view> {
      if (!mergedMode) {
        mergedMode = record.testMode;
        modeFile = input;
      }
      // The file keeps verdicts, not the name of its test: a check and a test are told apart.
      if ((record.testMode == TestMode::None) != (*mergedMode == TestMode::None)) {
        mixedModes = true;
        return "mixed test modes";
      }
      if (!urls.insert(record.hops[0].url)) {
        ++outcome.duplicates;
        return std::nullopt;
      }
      ++outcome.records;
      if (!runs.empty() && runs.back().end == record.bytes.start) {
        runs.back().end = record.bytes.end;
      } else {
        runs.push_back(record.bytes);
      }
      return std::nullopt;
    });
    if (read.message) {
      if (mixedModes) {
        const bool test = *mergedMode != TestMode::None;
        outcome.message = errorMessage("Cannot merge " + input.string() + ": it holds the results of " +
                                       (test ? "check" : "a test") + ", " + modeFile.string() + " those of " +
                                       (test ? "a test" : "check"));
      } else {
        outcome.message = errorMessage(input.string() + ": " + read.message->text);
      }
      return outcome;  // the temporary file goes, the output stays as it was
    }
    if (copyAsRead) {
      written = written && copyRuns(input, runs, out);
    } else {
      deferred.emplace_back(input, std::move(runs));
    }
  }
  if (copyAsRead) {
    written = written && out.overwrite(0, resultsFileHeader(outcome.records));
  } else {
    written = out.write(resultsFileHeader(outcome.records));
    for (const auto& [input, runs] : deferred) written = written && copyRuns(input, runs, out);
  }
  if (!written || !out.commit()) outcome.message = errorMessage(kResultsWriteErrorMessage);
  return outcome;
}

}  // namespace tallyvane
