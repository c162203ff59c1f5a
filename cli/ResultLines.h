#pragma once
// The per-URL lines a command prints on stdout: today's plain lines, or TSV, CSV (RFC 4180) or
// JSON Lines for pipelines. One record makes one line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/FailureDetail.h"
#include "results/ResultRecord.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

enum class LineFormat { Plain, Tsv, Csv, Jsonl };

// What the lines of a test say besides the record: its mode, and the target each URL was expected
// to reach (empty for a saved run, whose rules are not at hand).
struct LineContext {
  TestMode testMode = TestMode::None;
  ExpectedTarget expected;
};

// "tsv", "csv" or "jsonl" in any case; nothing for anything else.
std::optional<LineFormat> lineFormatNamed(std::string_view name);

// The heading row of TSV and CSV, with its line break; "" for the others.
std::string headingLine(LineFormat format, TestMode testMode);

// Fields as one TSV (also for Plain) or CSV line, with its line break (CRLF for CSV).
std::string fieldsLine(const std::vector<std::string>& fields, LineFormat format);

// The record's line, with its line break. Plain: in a test its result first (a FAIL followed by
// what it met), then URL, status code, status text, number of redirects and final URL,
// tab-separated.
std::string resultLine(const ResultRecord& record, const LineContext& context, LineFormat format);


}  // namespace tallyvane::cli
