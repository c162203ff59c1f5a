#include "cli/OutputPlan.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/FileContents.h"
#include "base/Text.h"
#include "cli/Interrupts.h"
#include "cli/JUnitReport.h"
#include "input/UrlParts.h"
#include "results/Filters.h"
#include "results/ResultColumns.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"

namespace tallyvane::cli {
namespace {

constexpr const char* kStandardOutputPath = "/dev/stdout";

constexpr std::pair<std::string_view, ReportKind> kReportKinds[] = {
    {"standard", ReportKind::Standard}, {"redirects", ReportKind::RedirectDetails}, {"links", ReportKind::LinkHeaders},
    {"raw", ReportKind::RawHeaders},    {"html", ReportKind::HtmlSummary},
};

std::optional<int> numberIn(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Filter> filterNamed(std::string_view text) {
  // A number is a filter's or none: never a name.
  if (const auto number = numberIn(text, 0, std::numeric_limits<int>::max())) return filterFromNumber(*number);
  for (const Filter filter : kFilters) {
    if (equalsIgnoreCase(filterName(filter), text)) return filter;
  }
  return std::nullopt;
}

std::optional<int> columnNamed(std::string_view text) {
  if (const auto number = numberIn(text, 0, kResultColumnCount - 1)) return number;
  if (equalsIgnoreCase(text, kTestResultTitle)) return kTestResultColumn;
  for (int c = 0; c < kResultColumnCount; ++c) {
    const auto at = static_cast<size_t>(c);
    if (equalsIgnoreCase(kResultColumnTitles[at], text) || equalsIgnoreCase(kStandardReportTitles[at], text)) return c;
  }
  return std::nullopt;
}

namespace {

// "\n  NN  name", numbers right-aligned.
std::string numberedLine(int number, std::string_view name) {
  return std::string(number < 10 ? "\n   " : "\n  ") + std::to_string(number) + "  " + std::string(name);
}

}  // namespace

std::string filterList() {
  std::string list;
  for (const Filter filter : kFilters) {
    list += numberedLine(filterNumber(filter), filterName(filter));
    if (needsTestResults(filter)) list += " (test modes)";
  }
  return list;
}

std::string columnList() {
  std::string list = "\n      " + std::string(kTestResultTitle) + " (test modes)";
  for (int c = 0; c < kResultColumnCount; ++c) {
    const auto at = static_cast<size_t>(c);
    list += numberedLine(c, kResultColumnTitles[at]);
    if (!equalsIgnoreCase(kResultColumnTitles[at], kStandardReportTitles[at])) {
      list += " (report: " + std::string(kStandardReportTitles[at]) + ")";
    }
  }
  return list;
}

std::optional<std::string> parseOutputPlan(const OutputOptions& options, OutputPlan& plan) {
  for (const std::string& report : options.reports) {
    const size_t equals = report.find('=');
    const std::string_view kind = std::string_view(report).substr(0, equals);
    const auto known = std::find_if(std::begin(kReportKinds), std::end(kReportKinds),
                                    [&](const auto& entry) { return entry.first == kind; });
    if (equals == std::string::npos || equals + 1 == report.size() || known == std::end(kReportKinds)) {
      return "Invalid report \"" + report + "\": use KIND=FILE with KIND standard, redirects, links, raw or html";
    }
    std::string file = report.substr(equals + 1);
    if (file == "-") {
      if (plan.reportToStdout) return "Only one report can go to stdout (\"" + report + "\")";
      plan.reportToStdout = true;
      file = kStandardOutputPath;  // written directly, as any stream is
    }
    plan.reports.emplace_back(known->second, std::move(file));
  }
  plan.save = options.save;
  plan.junit = options.junit;
  if (!options.filter.empty()) {
    const auto filter = filterNamed(options.filter);
    if (!filter) return "Unknown filter \"" + options.filter + "\": use a filter's number or name:" + filterList();
    plan.filter = *filter;
  }
  if (!options.sort.empty()) {
    constexpr std::string_view kDescending = ":desc";
    std::string_view column = options.sort;
    if (column.size() >= kDescending.size() &&
        equalsIgnoreCase(column.substr(column.size() - kDescending.size()), kDescending)) {
      plan.descending = true;
      column.remove_suffix(kDescending.size());
    }
    plan.sortColumn = columnNamed(column);
    if (!plan.sortColumn) {
      return "Unknown column \"" + std::string(column) + "\": use a column's number or header text:" + columnList();
    }
  }
  return std::nullopt;
}

std::optional<std::string> checkOutputPaths(const OutputPlan& plan, const std::filesystem::path& input) {
  std::vector<std::filesystem::path> outputs;
  for (const auto& report : plan.reports) outputs.push_back(report.second);
  if (!plan.save.empty()) {
    std::error_code ignored;
    if (std::filesystem::is_directory(plan.save, ignored)) return std::string(kSaveOverFolderMessage);
    outputs.push_back(plan.save);
  }
  if (!plan.junit.empty()) outputs.push_back(plan.junit);
  for (auto output = outputs.begin(); output != outputs.end(); ++output) {
    // A file that cannot be created gets the same message as at the end of a crawl.
    if (probeWritable(*output)) return std::string(kCannotCreateReportMessage) + output->string();
    std::optional<std::string> reason;
    // An input URL is fetched, never a file of the same name.
    if (!input.empty() && !isHttpUrl(input.string()) && sameFile(*output, input)) reason = "it is the input list";
    // Two regular files of one name would overwrite each other; a device or a pipe may be shared.
    const bool named = std::any_of(outputs.begin(), output, [&](const auto& earlier) {
      std::error_code ignored;
      return std::filesystem::weakly_canonical(earlier, ignored) ==
                 std::filesystem::weakly_canonical(*output, ignored) ||
             sameFile(earlier, *output);
    });
    if (!reason && named && !isWrittenDirectly(*output)) reason = "it is named twice";
    if (reason) return std::string(kCannotCreateReportMessage) + output->string() + " (" + *reason + ")";
  }
  return std::nullopt;
}

bool writeOutputs(CrawlSession& session, const OutputPlan& plan, const ExpectedTarget& expected, ConsoleInterface& ui) {
  if (plan.empty()) return true;
  const StopOnInterrupt notice([&ui] {
    ui.showMessage("Interrupted",
                   "writing the reports and the results file of what was checked; interrupt again "
                   "to end at once without them");
  });
  ResultView& view = session.view();
  view.selectFilter(plan.filter);
  if (plan.sortColumn && !plan.reports.empty()) {
    view.sortBy(*plan.sortColumn, plan.descending ? SortDirection::Descending : SortDirection::Ascending);
    view.waitForSort();
  }
  bool ok = true;
  // One file after the other, each progress line naming its file.
  const auto finish = [&] {
    ok = session.finishFileTask().succeeded && ok;
    ui.setTaskName({});
  };
  for (const auto& [kind, file] : plan.reports) {
    ui.setTaskName(file.string());
    session.startReport(kind, file);
    finish();
  }
  if (!plan.save.empty()) {
    ui.setTaskName(plan.save.string());
    session.startSave(plan.save);
    finish();
  }
  if (!plan.junit.empty()) {
    const std::string_view suite = session.testMode() == TestMode::Mapping ? "mapping-test" : "canonical-test";
    if (const auto failed = writeJUnitReport(session.store(), suite, expected, plan.junit)) {
      ui.showMessage(failed->title, failed->text);
      ok = false;
    }
  }
  return ok;
}

}  // namespace tallyvane::cli
