#include "cli/ResultLines.h"

#include <array>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/Text.h"
#include "results/HopRecord.h"
#include "results/ResultColumns.h"

namespace tallyvane::cli {
namespace {

using Json = nlohmann::ordered_json;

// The fields of TSV and CSV, after the test's two in a test mode.
constexpr std::array<std::string_view, 11> kFieldTitles = {
    "URL",  "Status Code", "Status", "# Redirects", "Final URL",          "Final Status Code",
    "Chain", "Type",       "Size",   "Response Time (ms)", "X-Robots-Tag",
};
constexpr std::array<std::string_view, 3> kTestFieldTitles = {"Test Result", "Reasons", "Failure"};

// "[a],[b]" as the verdict keeps its reasons.
std::vector<std::string> reasonsOf(const ResultRecord& record) {
  std::vector<std::string> reasons;
  const std::string_view note = textOf(record.testReason);
  size_t start = 0;
  while (start < note.size()) {
    size_t end = note.find("],[", start);
    end = end == std::string_view::npos ? note.size() : end + 1;
    reasons.emplace_back(note.substr(start, end - start));
    start = end + 1;
  }
  return reasons;
}

std::string verdictOf(const ResultRecord& record) { return record.testPassed == 1 ? "PASS" : "FAIL"; }

std::vector<std::string> fieldsOf(const ResultRecord& record, const LineContext& context) {
  const ResponseRecord& first = record.first();
  const ResponseRecord& last = record.last();
  std::vector<std::string> fields;
  if (context.testMode != TestMode::None) {
    fields.push_back(verdictOf(record));
    fields.emplace_back(textOf(record.testReason));
    fields.push_back(failureDetail(record, context.expected));
  }
  const auto chain = chainKindName(record);
  fields.insert(fields.end(), {std::string(textOf(first.url)), statusCodeText(first), std::string(textOf(first.statusText)),
                               std::to_string(record.redirectCount()), std::string(textOf(last.url)),
                               statusCodeText(last), chain ? std::string(*chain) : std::string(),
                               std::string(textOf(first.type)), sizeText(first),
                               first.statusCode == 0 ? std::string() : std::to_string(first.responseTime),
                               std::string(textOf(first.xRobotsTag))});
  return fields;
}

// TSV has no quoting: the characters that would break a row become blanks.
std::string tsvField(std::string field) {
  for (char& c : field) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return field;
}

std::string csvField(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

template <typename Quote>
std::string joined(const std::vector<std::string>& fields, char separator, Quote quote, std::string_view lineBreak) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += separator;
    line += quote(fields[i]);
  }
  return line.append(lineBreak);
}

Json numberOrNull(bool present, int64_t value) { return present ? Json(value) : Json(nullptr); }
Json textOrNull(const char* text) { return text ? Json(text) : Json(nullptr); }

std::string jsonLine(const ResultRecord& record, const LineContext& context) {
  const ResponseRecord& first = record.first();
  const ResponseRecord& last = record.last();
  const auto chain = chainKindName(record);
  Json line;
  line["url"] = textOf(first.url);
  line["status_code"] = numberOrNull(first.statusCode != 0, first.statusCode);
  line["status_text"] = textOrNull(first.statusText);
  line["redirects"] = record.redirectCount();
  line["final_url"] = textOf(last.url);
  line["final_status_code"] = numberOrNull(last.statusCode != 0, last.statusCode);
  line["chain"] = chain ? Json(*chain) : Json(nullptr);
  line["content_type"] = textOrNull(first.type);
  line["size"] = numberOrNull(first.size >= 0, first.size);
  line["response_time_ms"] = numberOrNull(first.statusCode != 0, first.responseTime);
  line["x_robots_tag"] = textOrNull(first.xRobotsTag);
  const auto error = hopError(record);
  line["error"] = error ? Json(*error) : Json(nullptr);
  if (context.testMode != TestMode::None) {
    line["verdict"] = verdictOf(record);
    line["reasons"] = reasonsOf(record);
    const auto target = context.expected ? context.expected(textOf(first.url)) : std::nullopt;
    line["expected_target"] = target ? Json(*target) : Json(nullptr);
  }
  Json hops = Json::array();
  for (int i = 0; i < shownResponseCount(record); ++i) {
    const ResponseRecord& hop = record.responses[i];
    // The target its Location led to is the next hop's URL (for a loop's last, the one repeated).
    const bool leadsOn = i + 1 < record.responseCount;
    hops.push_back({{"url", textOf(hop.url)},
                    {"status_code", numberOrNull(hop.statusCode != 0, hop.statusCode)},
                    {"status_text", textOrNull(hop.statusText)},
                    {"response_time_ms", numberOrNull(hop.statusCode != 0, hop.responseTime)},
                    {"location", leadsOn ? Json(textOf(record.responses[i + 1].url)) : Json(nullptr)}});
  }
  line["hops"] = std::move(hops);
  // Whatever bytes a server sent, the line stays valid UTF-8.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

std::string plainLine(const ResultRecord& record, const LineContext& context) {
  std::string line;
  if (context.testMode != TestMode::None) {
    line = cellText(record, kTestResultColumn);
    if (record.testPassed != 1) line += "; " + failureDetail(record, context.expected);
    line += '\t';
  }
  line += cellText(record, kUrlColumn);
  for (int column : {kStatusCodeColumn, kStatusColumn, kRedirectsColumn, kFinalUrlColumn}) {
    line += '\t';
    line += cellText(record, column);
  }
  return line + '\n';
}

}  // namespace

std::optional<LineFormat> lineFormatNamed(std::string_view name) {
  if (equalsIgnoreCase(name, "tsv")) return LineFormat::Tsv;
  if (equalsIgnoreCase(name, "csv")) return LineFormat::Csv;
  if (equalsIgnoreCase(name, "jsonl")) return LineFormat::Jsonl;
  return std::nullopt;
}

std::string headingLine(LineFormat format, TestMode testMode) {
  if (format != LineFormat::Tsv && format != LineFormat::Csv) return {};
  std::vector<std::string> titles;
  if (testMode != TestMode::None) titles.assign(kTestFieldTitles.begin(), kTestFieldTitles.end());
  titles.insert(titles.end(), kFieldTitles.begin(), kFieldTitles.end());
  return fieldsLine(titles, format);
}

std::string fieldsLine(const std::vector<std::string>& fields, LineFormat format) {
  // RFC 4180 ends records in CRLF; the reports' CSV keeps its LF, which stored files rely on.
  return format == LineFormat::Csv ? joined(fields, ',', csvField, "\r\n") : joined(fields, '\t', tsvField, "\n");
}

std::string resultLine(const ResultRecord& record, const LineContext& context, LineFormat format) {
  switch (format) {
    case LineFormat::Plain: return plainLine(record, context);
    case LineFormat::Tsv:
    case LineFormat::Csv: return fieldsLine(fieldsOf(record, context), format);
    case LineFormat::Jsonl: return jsonLine(record, context);
  }
  return {};
}

}  // namespace tallyvane::cli
