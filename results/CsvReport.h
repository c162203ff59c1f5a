#pragma once
// The four CSV reports: UTF-8 with a byte-order mark, LF line ends, every field quoted.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/Message.h"
#include "results/ResultStore.h"

namespace tallyvane {

// HtmlSummary is no CSV report: CrawlSession::startReport writes it with writeHtmlSummary().
enum class ReportKind : int { Standard = 0, RedirectDetails = 1, LinkHeaders = 2, RawHeaders = 3, HtmlSummary = 4 };

inline constexpr std::string_view kCannotCreateReportMessage = "Cannot create output file: ";
inline constexpr std::string_view kReportWriteErrorMessage = "There was an error writing to the report file.";

// "No Redirect", "Redirect Loop", "Redirect Chain" or "Single Redirect".
std::string_view redirectClassOf(const ResultRecord& record);

// The byte-order mark and the header row.
std::string reportStart(ReportKind kind, TestMode testMode);
// The lines of one record. Shared with the low-memory mode, which writes each URL as it ends.
void appendReportLines(ReportKind kind, const ResultRecord& record, TestMode testMode, std::string& out);

// Called every hundredth of the way: records done so far, all records, and the text to show.
using TaskProgress = std::function<void(int64_t done, int64_t total, const std::string& text)>;
// A save or report stopped by quitting: never a success, and the previous file is kept.
inline constexpr std::string_view kStoppedBeforeCompleteMessage =
    "Stopped before the file was complete; the previous file is unchanged.";

// Writes the rows of the view as shown when it starts (sort, filter or store order) through
// "<file>.partial", which replaces the file only when complete. Returns the message to show on
// failure or when stopped by quitting.
std::optional<Message> writeReport(const ResultStore& store, ViewSelection view, ReportKind kind, TestMode testMode,
                                       const std::filesystem::path& path, const TaskProgress& progress = {},
                                       const std::atomic<bool>* quitting = nullptr);

// "Saving 12 URLs of 500" and its like.
std::string progressText(std::string_view verb, int64_t done, int64_t total);

}  // namespace tallyvane
