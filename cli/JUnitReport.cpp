#include "cli/JUnitReport.h"

#include "base/FileContents.h"
#include "results/CsvReport.h"
#include "results/MarkupText.h"
#include "results/ResultColumns.h"

namespace tallyvane::cli {
namespace {

constexpr size_t kFlushBytes = size_t{1} << 16;

int64_t chainMilliseconds(const ResultRecord& record) {
  int64_t total = 0;
  for (int j = 0; j < record.responseCount; ++j) total += std::max<int64_t>(record.responses[j].responseTime, 0);
  return total;
}

// The hops as "CODE URL" lines, so a failure shows where the chain went.
std::string chainText(const ResultRecord& record) {
  std::string text;
  for (int j = 0; j < record.responseCount; ++j) {
    const ResponseRecord& r = record.responses[j];
    const std::string code = statusCodeText(r);
    text += (code.empty() ? std::string("---") : code) + " " + std::string(textOf(r.url)) + "\n";
  }
  return text;
}

}  // namespace

std::string xmlEscaped(std::string_view text) { return escapeMarkup(text); }

std::optional<Message> writeJUnitReport(const ResultStore& store, std::string_view suiteName,
                                        const ExpectedTarget& expected, const std::filesystem::path& path) {
  FileReplacement file;
  if (!file.open(path)) return errorMessage(std::string(kCannotCreateReportMessage) + path.string());
  const Message writeError = errorMessage(kReportWriteErrorMessage);
  const int64_t count = store.count();
  int64_t failures = 0, milliseconds = 0;
  for (int64_t i = 0; i < count; ++i) {
    const ResultRecord& record = *store.recordAtIndex(i);
    failures += record.testPassed == 1 ? 0 : 1;
    milliseconds += chainMilliseconds(record);
  }
  const std::string suite = xmlEscaped(suiteName);
  std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + suite + "\" tests=\"" +
                      std::to_string(count) + "\" failures=\"" + std::to_string(failures) + "\" time=\"" +
                      secondsText(milliseconds) + "\">\n  <testsuite name=\"" + suite + "\" tests=\"" +
                      std::to_string(count) + "\" failures=\"" + std::to_string(failures) +
                      "\" errors=\"0\" skipped=\"0\" time=\"" + secondsText(milliseconds) + "\">\n";
  for (int64_t i = 0; i < count; ++i) {
    const ResultRecord& record = *store.recordAtIndex(i);
    bytes += "    <testcase classname=\"" + suite + "\" name=\"" + xmlEscaped(textOf(record.first().url)) +
             "\" time=\"" + secondsText(chainMilliseconds(record)) + "\"";
    if (record.testPassed == 1) {
      bytes += "/>\n";
    } else {
      const std::string reasons = xmlEscaped(textOf(record.testReason));
      const std::string message = reasons + "; " + xmlEscaped(failureDetail(record, expected));
      bytes += ">\n      <failure type=\"FAIL\" message=\"" + message + "\">" + message + "\n" +
               xmlEscaped(chainText(record)) + "</failure>\n    </testcase>\n";
    }
    if (bytes.size() > kFlushBytes) {
      if (!file.write(bytes)) return writeError;
      bytes.clear();
    }
  }
  bytes += "  </testsuite>\n</testsuites>\n";
  if (!file.write(bytes) || !file.commit()) return writeError;
  return std::nullopt;
}

}  // namespace tallyvane::cli
