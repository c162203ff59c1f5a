#include "results/CsvReport.h"

#include <array>
#include <cstring>

#include "base/FileContents.h"
#include "results/ResultColumns.h"

namespace tallyvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kRedirectGroups = 10;

// Writes fields straight into the bytes of out, through a cursor: room is made in steps rather
// than checked byte by byte or field by field, and trimmed when the lines are done.
class CsvWriter {
 public:
  explicit CsvWriter(std::string& out) : out_(out), at_(out.size()) {}
  ~CsvWriter() { out_.resize(at_); }
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;

  void field(std::string_view value, bool first = false) {
    char* p = open(first, 2 * value.size() + 1);
    p = escaped(p, value);
    *p++ = '"';
    at_ = static_cast<size_t>(p - out_.data());
  }
  // Numbers hold no quote: nothing to scan.
  void field(const NumberText& number) {
    const std::string_view digits = number.view();
    char* p = open(false, digits.size() + 1);
    std::memcpy(p, digits.data(), digits.size());
    p[digits.size()] = '"';
    at_ = static_cast<size_t>(p - out_.data()) + digits.size() + 1;
  }
  void number(int64_t value) { field(NumberText::decimal(value)); }
  // "PASS", or "FAIL" immediately followed by the reasons.
  void verdict(const ResultRecord& record) {
    const std::string_view reason = record.testPassed == 1 ? std::string_view() : textOf(record.testReason);
    char* p = open(true, 4 + 2 * reason.size() + 1);
    p = escaped(p, record.testPassed == 1 ? "PASS" : "FAIL");
    p = escaped(p, reason);
    *p++ = '"';
    at_ = static_cast<size_t>(p - out_.data());
  }
  void endLine() { *room(1) = '\n', ++at_; }

 private:
  // Makes room for the separator, the opening quote and bytes more; returns where they go.
  char* open(bool first, size_t bytes) {
    char* p = room(bytes + 2);
    if (!first) *p++ = ',';
    *p++ = '"';
    return p;
  }
  // The value copied in runs between its quotes, each quote written twice.
  static char* escaped(char* p, std::string_view value) {
    while (!value.empty()) {
      const auto* quote = static_cast<const char*>(std::memchr(value.data(), '"', value.size()));
      const size_t run = quote ? static_cast<size_t>(quote - value.data()) + 1 : value.size();
      std::memcpy(p, value.data(), run);
      p += run;
      if (quote) *p++ = '"';
      value.remove_prefix(run);
    }
    return p;
  }
  char* room(size_t bytes) {
    if (out_.size() - at_ < bytes) out_.resize(at_ + std::max<size_t>(bytes, 256));
    return out_.data() + at_;
  }

  std::string& out_;
  size_t at_;
};

void appendStandard(const ResultRecord& record, TestMode testMode, CsvWriter& csv) {
  const int n = record.responseCount;
  for (int j = 0; j < shownResponseCount(record); ++j) {
    const ResponseRecord& r = record.responses[j];
    if (testMode != TestMode::None) csv.verdict(record);
    csv.field(textOf(r.url), testMode == TestMode::None);
    csv.field(textOf(r.type));
    csv.field(statusCodeField(r));
    csv.field(textOf(r.statusText));
    csv.field(sizeField(r));
    csv.field(responseTimeField(r));
    csv.field(textOf(r.xRobotsTag));
    csv.field(textOf(r.vary));
    csv.field(j < n - 1 ? textOf(record.last().url) : std::string_view());
    csv.number(j < n - 1 ? n - 1 - j : 0);
    csv.number(r.linkCount);
    csv.endLine();
  }
}

void appendRedirectDetails(const ResultRecord& record, CsvWriter& csv) {
  csv.field(textOf(record.first().url), true);
  csv.number(record.redirectCount());
  csv.field(redirectClassOf(record));
  // The header has ten hop groups; an eleventh response is already the tenth group's target.
  const int groups = std::min<int>(record.responseCount, kRedirectGroups);
  for (int j = 0; j < groups; ++j) {
    const ResponseRecord& r = record.responses[j];
    csv.field(textOf(r.type));
    csv.field(statusCodeField(r));
    csv.field(textOf(r.statusText));
    csv.field(j + 1 < record.responseCount ? textOf(record.responses[j + 1].url) : std::string_view());
  }
  csv.endLine();
}

void appendLinkHeaders(const ResultRecord& record, CsvWriter& csv) {
  for (int j = 0; j < shownResponseCount(record); ++j) {
    const ResponseRecord& r = record.responses[j];
    csv.field(textOf(r.url), true);
    csv.number(r.linkCount);
    for (int k = 0; k < r.linkCount; ++k) {
      csv.field(textOf(r.links[k].link));
      csv.field(textOf(r.links[k].rel));
      csv.field(textOf(r.links[k].hreflang));
    }
    csv.endLine();
  }
}

void appendRawHeaders(const ResultRecord& record, CsvWriter& csv) {
  thread_local std::string unpacked;  // reused: a report unpacks millions of blocks
  for (int j = 0; j < shownResponseCount(record); ++j) {
    csv.field(textOf(record.responses[j].url), true);
    csv.field(record.responses[j].rawHeaders.text(unpacked));
    csv.endLine();
  }
}

void appendHeaderRow(ReportKind kind, TestMode testMode, CsvWriter&& csv) {
  switch (kind) {
    case ReportKind::Standard: {
      bool first = true;
      if (testMode != TestMode::None) {
        csv.field("Test Result", true);
        first = false;
      }
      for (const std::string_view title : kStandardReportTitles) {
        csv.field(title, first);
        first = false;
      }
      break;
    }
    case ReportKind::RedirectDetails:
      csv.field("URL", true);
      csv.field("# Redirects");
      csv.field("Redirect Class");
      for (int i = 1; i <= kRedirectGroups; ++i) {
        for (const char* title : {"Type ", "Code ", "Status ", "Redirect URL "}) csv.field(title + std::to_string(i));
      }
      break;
    case ReportKind::LinkHeaders:
      csv.field("URL", true);
      csv.field("# Link Headers");
      for (int i = 1; i <= kMaxLinksPerResponse; ++i) {
        for (const char* title : {"Link ", "Rel ", "hreflang "}) csv.field(title + std::to_string(i));
      }
      break;
    case ReportKind::RawHeaders:
      csv.field("URL", true);
      csv.field("Raw Response Header");
      break;
    case ReportKind::HtmlSummary: return;
  }
  csv.endLine();
}

}  // namespace

std::string_view redirectClassOf(const ResultRecord& record) {
  if (record.responseCount == 1) return "No Redirect";
  if (record.chainKind == kChainLoop) return "Redirect Loop";
  if (record.responseCount > 2) return "Redirect Chain";
  return "Single Redirect";
}

std::string reportStart(ReportKind kind, TestMode testMode) {
  std::string out(kByteOrderMark);
  appendHeaderRow(kind, testMode, CsvWriter(out));
  return out;
}

void appendReportLines(ReportKind kind, const ResultRecord& record, TestMode testMode, std::string& out) {
  CsvWriter csv(out);
  switch (kind) {
    case ReportKind::Standard: return appendStandard(record, testMode, csv);
    case ReportKind::RedirectDetails: return appendRedirectDetails(record, csv);
    case ReportKind::LinkHeaders: return appendLinkHeaders(record, csv);
    case ReportKind::RawHeaders: return appendRawHeaders(record, csv);
    case ReportKind::HtmlSummary: return;
  }
}

std::string progressText(std::string_view verb, int64_t done, int64_t total) {
  return std::string(verb) + " " + std::to_string(done) + " URLs of " + std::to_string(total);
}

std::optional<Message> writeReport(const ResultStore& store, ViewSelection view, ReportKind kind, TestMode testMode,
                                   const std::filesystem::path& path, const TaskProgress& progress,
                                   const std::atomic<bool>* quitting) {
  FileReplacement file;
  if (!file.open(path)) return errorMessage(std::string(kCannotCreateReportMessage) + path.string());
  const Message writeError = errorMessage(kReportWriteErrorMessage);
  if (!file.write(reportStart(kind, testMode))) return writeError;
  // The rows are fixed now: a view changed meanwhile cannot shift them.
  const int64_t rows = store.rowCount(view);
  const int64_t step = rows / 100 + 1;
  constexpr size_t kBatchBytes = size_t{1} << 20;
  std::string lines;
  lines.reserve(kBatchBytes + (kBatchBytes >> 2));
  // Rows in batches: in a sorted view they hop over the whole store, so each record and its first
  // answer are asked for from memory a few rows before they are read.
  constexpr size_t kRowBatch = 256, kAhead = 8;
  std::array<uint32_t, kRowBatch> indices;
  std::array<const ResultRecord*, kRowBatch> records;
  for (int64_t row = 0; row < rows;) {
    if (quitting && quitting->load()) return errorMessage(kStoppedBeforeCompleteMessage);
    const size_t taken = store.indicesOfRows(
        row, std::span(indices).first(static_cast<size_t>(std::min<int64_t>(rows - row, kRowBatch))), view);
    if (taken == 0) break;
    store.recordsAt(std::span(indices).first(taken), records);
    for (size_t i = 0; i < taken; ++i, ++row) {
      if (progress && row % step == 0) progress(row, rows, progressText("Saving", row + 1, rows));
      if (i + 2 * kAhead < taken) __builtin_prefetch(records[i + 2 * kAhead]);
      if (i + kAhead < taken) __builtin_prefetch(records[i + kAhead]->responses);
      appendReportLines(kind, *records[i], testMode, lines);
    }
    if (lines.size() >= kBatchBytes) {
      if (!file.write(lines)) return writeError;
      lines.clear();
    }
  }
  if (!file.write(lines) || !file.commit()) return writeError;
  if (progress) progress(rows, rows, progressText("Saving", rows, rows));
  return std::nullopt;
}

}  // namespace tallyvane
