#include "results/CsvReport.h"

#include <cstdio>

#include "base/FileContents.h"
#include "results/ResultColumns.h"

namespace tallyvane {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kRedirectGroups = 10;

void appendField(std::string& out, std::string_view value, bool first = false) {
  if (!first) out.push_back(',');
  out.push_back('"');
  for (const char c : value) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

void appendNumberField(std::string& out, int64_t value) { appendField(out, std::to_string(value)); }

// A loop's last response repeats an earlier URL and is not written.
int linesOf(const ResultRecord& record) {
  return record.chainKind == kChainLoop ? record.responseCount - 1 : record.responseCount;
}

void appendStandard(const ResultRecord& record, int testMode, std::string& out) {
  const int n = record.responseCount;
  for (int j = 0; j < linesOf(record); ++j) {
    const ResponseRecord& r = record.responses[j];
    bool first = true;
    if (testMode != kTestModeNone) {
      const std::string verdict = record.testPassed == 1 ? "PASS" : "FAIL" + std::string(textOf(record.testReason));
      appendField(out, verdict, true);
      first = false;
    }
    appendField(out, textOf(r.url), first);
    appendField(out, textOf(r.type));
    appendField(out, statusCodeText(r));
    appendField(out, textOf(r.statusText));
    appendField(out, sizeText(r));
    appendField(out, responseTimeText(r));
    appendField(out, textOf(r.xRobotsTag));
    appendField(out, textOf(r.vary));
    appendField(out, j < n - 1 ? textOf(record.last().url) : std::string_view());
    appendNumberField(out, j < n - 1 ? n - 1 - j : 0);
    appendNumberField(out, r.linkCount);
    out.push_back('\n');
  }
}

void appendRedirectDetails(const ResultRecord& record, std::string& out) {
  appendField(out, textOf(record.first().url), true);
  appendNumberField(out, record.redirectCount());
  appendField(out, redirectClassOf(record));
  // The header has ten hop groups; an eleventh response is already the tenth group's target.
  const int groups = std::min<int>(record.responseCount, kRedirectGroups);
  for (int j = 0; j < groups; ++j) {
    const ResponseRecord& r = record.responses[j];
    appendField(out, textOf(r.type));
    appendField(out, statusCodeText(r));
    appendField(out, textOf(r.statusText));
    appendField(out, j + 1 < record.responseCount ? textOf(record.responses[j + 1].url) : std::string_view());
  }
  out.push_back('\n');
}

void appendLinkHeaders(const ResultRecord& record, std::string& out) {
  for (int j = 0; j < linesOf(record); ++j) {
    const ResponseRecord& r = record.responses[j];
    appendField(out, textOf(r.url), true);
    appendNumberField(out, r.linkCount);
    for (int k = 0; k < r.linkCount; ++k) {
      appendField(out, textOf(r.links[k].link));
      appendField(out, textOf(r.links[k].rel));
      appendField(out, textOf(r.links[k].hreflang));
    }
    out.push_back('\n');
  }
}

void appendRawHeaders(const ResultRecord& record, std::string& out) {
  for (int j = 0; j < linesOf(record); ++j) {
    appendField(out, textOf(record.responses[j].url), true);
    appendField(out, textOf(record.responses[j].rawHeaders));
    out.push_back('\n');
  }
}

}  // namespace

std::string_view redirectClassOf(const ResultRecord& record) {
  if (record.responseCount == 1) return "No Redirect";
  if (record.chainKind == kChainLoop) return "Redirect Loop";
  if (record.responseCount > 2) return "Redirect Chain";
  return "Single Redirect";
}

std::string reportStart(ReportKind kind, int testMode) {
  std::string out(kByteOrderMark);
  switch (kind) {
    case ReportKind::Standard: {
      bool first = true;
      if (testMode != kTestModeNone) {
        appendField(out, "Test Result", true);
        first = false;
      }
      for (const char* title : {"URL", "Type", "Code", "Status", "Size", "Response Time", "X-Robots-Tag", "Vary",
                                "Redirect to Final URL", "# Redirects", "# Link Headers"}) {
        appendField(out, title, first);
        first = false;
      }
      break;
    }
    case ReportKind::RedirectDetails:
      appendField(out, "URL", true);
      appendField(out, "# Redirects");
      appendField(out, "Redirect Class");
      for (int i = 1; i <= kRedirectGroups; ++i) {
        for (const char* title : {"Type ", "Code ", "Status ", "Redirect URL "}) appendField(out, title + std::to_string(i));
      }
      break;
    case ReportKind::LinkHeaders:
      appendField(out, "URL", true);
      appendField(out, "# Link Headers");
      for (int i = 1; i <= kMaxLinksPerResponse; ++i) {
        for (const char* title : {"Link ", "Rel ", "hreflang "}) appendField(out, title + std::to_string(i));
      }
      break;
    case ReportKind::RawHeaders:
      appendField(out, "URL", true);
      appendField(out, "Raw Response Header");
      break;
  }
  out.push_back('\n');
  return out;
}

void appendReportLines(ReportKind kind, const ResultRecord& record, int testMode, std::string& out) {
  switch (kind) {
    case ReportKind::Standard: return appendStandard(record, testMode, out);
    case ReportKind::RedirectDetails: return appendRedirectDetails(record, out);
    case ReportKind::LinkHeaders: return appendLinkHeaders(record, out);
    case ReportKind::RawHeaders: return appendRawHeaders(record, out);
  }
}

std::string progressText(std::string_view verb, int64_t done, int64_t total) {
  return std::string(verb) + " " + std::to_string(done) + " URLs of " + std::to_string(total);
}

std::optional<Message> writeReport(const ResultStore& store, ViewSelection view, ReportKind kind, int testMode,
                                       const std::filesystem::path& path, const TaskProgress& progress,
                                       const std::atomic<bool>* quitting) {
  FileReplacement file;
  if (!file.open(path)) return errorMessage(std::string(kCannotCreateReportMessage) + path.string());
  const Message writeError = errorMessage(kReportWriteErrorMessage);
  if (!file.write(reportStart(kind, testMode))) return writeError;
  // The rows are fixed now: a view changed meanwhile cannot shift them.
  const int64_t rows = store.rowCount(view);
  const int64_t step = rows / 100 + 1;
  std::string lines;
  for (int64_t row = 0; row < rows; ++row) {
    if (quitting && quitting->load()) return errorMessage(kStoppedBeforeCompleteMessage);
    if (progress && row % step == 0) progress(row, rows, progressText("Saving", row + 1, rows));
    const ResultRecord* record = store.recordAtRow(row, view);
    if (record == nullptr) break;
    lines.clear();
    appendReportLines(kind, *record, testMode, lines);
    if (!file.write(lines)) return writeError;
  }
  if (!file.commit()) return writeError;
  if (progress) progress(rows, rows, progressText("Saving", rows, rows));
  return std::nullopt;
}

}  // namespace tallyvane
