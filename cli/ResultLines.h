#pragma once
// The per-URL lines a command prints on stdout: today's plain lines, or TSV, CSV (RFC 4180) or
// JSON Lines for pipelines. One record makes one line.

#include <optional>
#include <string>
#include <string_view>

#include "results/ResultRecord.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

enum class LineFormat { Plain, Tsv, Csv, Jsonl };

// "tsv", "csv" or "jsonl" in any case; nothing for anything else.
std::optional<LineFormat> lineFormatNamed(std::string_view name);

// The heading row of TSV and CSV, with its line break; "" for the others.
std::string headingLine(LineFormat format, TestMode testMode);

// The record's line, with its line break. Plain: in a test its result first, then URL, status
// code, status text, number of redirects and final URL, tab-separated.
std::string resultLine(const ResultRecord& record, TestMode testMode, LineFormat format);

// The chain's kind as pipelines name it: "redirect", "loop", "chain", "max-redirects", "failed",
// or nothing for a URL that answered without a redirect.
std::optional<std::string_view> chainKindName(const ResultRecord& record);

}  // namespace tallyvane::cli
