#pragma once
// The CSV report of a low-memory crawl, written while the crawl runs: each finished chain is
// appended as soon as it is complete and then forgotten. Every chain's lines go out in one
// write; a write that fails part-way is cut back, so the file always ends with a whole line.
//
// Threads: created by the thread that starts the crawl and finished by its controller; the
// workers hand their chains over side by side, and the report takes them one at a time.

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <variant>

#include "app/ResultSink.h"
#include "base/FileDescriptor.h"
#include "base/Message.h"
#include "results/CsvReport.h"
#include "results/Filters.h"
#include "results/HopRecord.h"

namespace tallyvane {

struct LowMemoryReportOptions {
  std::filesystem::path path;
  ReportKind kind = ReportKind::Standard;
  Filter filter = Filter::AllUrls;  // only the URLs this filter shows
  int64_t slowPageThresholdMs = 2000;
};

class LowMemoryReport final : public ResultSink {
 public:
  // Creates the file with its heading line; "Cannot create output file: " + path otherwise.
  static std::variant<std::unique_ptr<LowMemoryReport>, Message> create(LowMemoryReportOptions options);
  ~LowMemoryReport() override;
  LowMemoryReport(const LowMemoryReport&) = delete;
  LowMemoryReport& operator=(const LowMemoryReport&) = delete;

  // A URL listed twice is checked twice: nothing is kept to tell.
  bool keepsOneChainPerUrl() const override { return false; }
  // Appends the lines of one chain (hops 0 to its last), when it passes the filter.
  bool take(std::span<const HopRecord> chain, PackedChain& packed, FatalErrorSlot& fatal) override;
  // The report is complete only once it is synced and closed: a failure there is a write error.
  bool finish(FatalErrorSlot& fatal) override;

 private:
  bool write(std::span<const HopRecord> hops);
  // Syncs and closes; false when that or an earlier write failed.
  bool close();
  LowMemoryReport(LowMemoryReportOptions options, FileDescriptor fd)
      : options_(std::move(options)), fd_(std::move(fd)) {}
  bool append(std::string_view bytes);

  LowMemoryReportOptions options_;
  std::mutex mutex_;  // keeps each chain's lines whole
  FileDescriptor fd_;
  off_t written_ = 0;
  bool failed_ = false;
  std::string lines_;  // reused for every chain
  std::array<ResponseRecord, kHopsPerChain> responses_{};
  std::array<std::array<LinkRecord, kMaxLinksPerResponse>, kHopsPerChain> links_{};
  std::array<std::string, kHopsPerChain> headerBlocks_;  // the raw headers in the record's form
};

}  // namespace tallyvane
