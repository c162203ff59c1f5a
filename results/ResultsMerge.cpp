#include "results/ResultsMerge.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "base/FileContents.h"
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

// What one input gives the merged file: runs of adjacent records it keeps.
struct KeptRuns {
  fs::path file;
  std::vector<RecordBytes> runs;
};

// Copies the runs of one input into out.
bool copyRuns(const KeptRuns& input, FileReplacement& out, std::string& buffer) {
  const int fd = ::open(input.file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool copied = true;
  for (const RecordBytes& run : input.runs) {
    for (uint64_t at = run.start; copied && at < run.end;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), run.end - at));
      const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
      if (got < 0 && errno == EINTR) continue;
      copied = got > 0 && out.write(std::string_view(buffer.data(), static_cast<size_t>(got)));
      at += got > 0 ? static_cast<uint64_t>(got) : 0;
    }
  }
  ::close(fd);
  return copied;
}

}  // namespace

MergeOutcome mergeResults(const std::vector<fs::path>& inputs, const fs::path& output) {
  MergeOutcome outcome;
  UrlSet urls;
  std::vector<KeptRuns> kept;
  std::optional<TestMode> mergedMode;  // of the first input that holds a record
  fs::path modeFile;
  bool mixedModes = false;
  for (const fs::path& input : inputs) {
    KeptRuns& runs = kept.emplace_back(KeptRuns{input, {}});
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
      if (!runs.runs.empty() && runs.runs.back().end == record.bytes.start) {
        runs.runs.back().end = record.bytes.end;
      } else {
        runs.runs.push_back(record.bytes);
      }
      return std::nullopt;
    });
    if (!read.message) continue;
    if (mixedModes) {
      const bool test = *mergedMode != TestMode::None;
      outcome.message = errorMessage("Cannot merge " + input.string() + ": it holds the results of " +
                                     (test ? "check" : "a test") + ", " + modeFile.string() + " those of " +
                                     (test ? "a test" : "check"));
    } else {
      outcome.message = errorMessage(input.string() + ": " + read.message->text);
    }
    return outcome;
  }

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
  std::string buffer(size_t{1} << 20, '\0');
  bool written = out.write(resultsFileHeader(outcome.records));
  for (const KeptRuns& runs : kept) written = written && copyRuns(runs, out, buffer);
  if (!written || !out.commit()) outcome.message = errorMessage(kResultsWriteErrorMessage);
  return outcome;
}

}  // namespace tallyvane
