#pragma once
// The HTML summary of a crawl, to hand to a client: one self-contained file (no script, no
// network) with the filter counts, the overview charts as inline SVG, the longest redirect
// chains, the slowest URLs and, after a test, the failures grouped by reason. Every text that came
// from a server or a list is escaped.

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"
#include "results/CsvReport.h"
#include "results/ResultStore.h"

namespace tallyvane {

inline constexpr std::string_view kHtmlSummaryTitle = "Tallyvane Summary Report";

// The reasons of a test note ("[a],[b]") one by one.
std::vector<std::string_view> testReasonsOf(std::string_view note);

// Written through "<file>.partial" like every report; the message to show on failure.
std::optional<Message> writeHtmlSummary(const ResultStore& store, TestMode testMode, int64_t slowPageThresholdMs,
                                        const std::filesystem::path& path, const TaskProgress& progress = {},
                                        const std::atomic<bool>* quitting = nullptr);

}  // namespace tallyvane
