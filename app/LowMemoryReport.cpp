#include "app/LowMemoryReport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>

#include "results/Filters.h"
#include "results/ResultStore.h"

namespace tallyvane {
namespace {

// The store keeps empty texts as nullptr; the report writer reads them the same way here.
const char* textOrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

std::variant<std::unique_ptr<LowMemoryReport>, Message> LowMemoryReport::create(LowMemoryReportOptions options) {
  const Message cannotCreate = errorMessage(std::string(kCannotCreateReportMessage) + options.path.string());
  FileDescriptor fd = openFile(options.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!fd.valid()) return cannotCreate;
  std::unique_ptr<LowMemoryReport> report(new LowMemoryReport(std::move(options), std::move(fd)));
  if (!report->append(reportStart(report->options_.kind, TestMode::None))) {
    report->close();
    return cannotCreate;
  }
  return report;
}

LowMemoryReport::~LowMemoryReport() { close(); }

bool LowMemoryReport::append(std::string_view bytes) {
  if (failed_ || !fd_.valid()) return false;
  if (!writeAll(fd_.get(), bytes)) {
    // Cut back what got out of these lines: the file keeps only whole lines.
    if (::ftruncate(fd_.get(), written_) == 0) ::lseek(fd_.get(), written_, SEEK_SET);
    failed_ = true;
    return false;
  }
  written_ += static_cast<off_t>(bytes.size());
  return true;
}

bool LowMemoryReport::take(std::span<const HopRecord> chain, PackedChain& /*packed*/, FatalErrorSlot& fatal) {
  assert(onThread(ThreadRole::Worker));
  std::lock_guard lock(mutex_);
  if (write(chain)) return true;
  fatal.raise(std::string(kErrorTitle), std::string(kReportWriteErrorMessage), kReportWriteFailed);
  return false;
}

bool LowMemoryReport::finish(FatalErrorSlot& fatal) {
  assert(onThread(ThreadRole::Controller));
  if (close()) return true;
  fatal.raise(std::string(kErrorTitle), std::string(kReportWriteErrorMessage), kReportWriteFailed);
  return false;
}

bool LowMemoryReport::write(std::span<const HopRecord> hops) {
  // A record that borrows the hops' texts: the report writer sees what the store would keep.
  const size_t n = std::min(hops.size(), responses_.size());
  for (size_t i = 0; i < n; ++i) {
    const HopRecord& hop = hops[i];
    const size_t linkCount = hop.linksToKeep();
    for (size_t k = 0; k < linkCount; ++k) {
      links_[i][k] = {textOrNull(hop.links[k].link), textOrNull(hop.links[k].rel), textOrNull(hop.links[k].hreflang)};
    }
    responses_[i] = {.url = textOrNull(hop.url),
                     .size = hop.size,
                     .statusText = textOrNull(hop.statusText),
                     .type = textOrNull(hop.contentType),
                     .xRobotsTag = textOrNull(hop.xRobotsTag),
                     .vary = textOrNull(hop.vary),
                     .rawHeaders = PackedHeaders::plain(hop.rawHeaders, headerBlocks_[i]),
                     .links = links_[i].data(),
                     .responseTime = storedResponseTime(hop.responseTime),
                     .statusCode = storedStatusCode(hop.statusCode),
                     .linkCount = static_cast<uint8_t>(linkCount)};
  }
  ResultRecord record{};
  record.responses = responses_.data();
  record.responseCount = static_cast<uint8_t>(n);
  record.chainKind = static_cast<uint8_t>(hops[0].kind);
  if (!showsIn(filtersShowing(record, options_.slowPageThresholdMs, TestMode::None), options_.filter)) {
    return !failed_;
  }
  lines_.clear();
  appendReportLines(options_.kind, record, TestMode::None, lines_);
  return append(lines_);
}

bool LowMemoryReport::close() {
  if (!fd_.valid()) return !failed_;
  const bool synced = ::fsync(fd_.get()) == 0;
  const bool closed = fd_.close();
  failed_ = failed_ || !synced || !closed;
  return !failed_;
}

}  // namespace tallyvane
