#include "cli/OutputPlan.h"

#include <algorithm>
#include <charconv>

#include "app/FileTask.h"
#include "cli/JUnitReport.h"
#include "base/FileContents.h"
#include "cli/Interrupts.h"
#include "base/Text.h"
#include "results/Filters.h"
#include "results/ResultColumns.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"

namespace tallyvane::cli {
namespace {

constexpr std::pair<std::string_view, ReportKind> kReportKinds[] = {
    {"standard", ReportKind::Standard},
    {"redirects", ReportKind::RedirectDetails},
    {"links", ReportKind::LinkHeaders},
    {"raw", ReportKind::RawHeaders},
};

std::optional<int> numberIn(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> filterNamed(std::string_view text) {
  if (const auto number = numberIn(text, 0, kFilterCount)) return number;
  for (int f = 0; f <= kFilterCount; ++f) {
    if (kFilterNames[static_cast<size_t>(f)] == text) return f;
  }
  return std::nullopt;
}

std::optional<int> columnNamed(std::string_view text) {
  if (const auto number = numberIn(text, 0, kResultColumnCount - 1)) return number;
  if (text == kTestResultTitle) return kTestResultColumn;
  for (int c = 0; c < kResultColumnCount; ++c) {
    if (kResultColumnTitles[static_cast<size_t>(c)] == text) return c;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> parseOutputPlan(const OutputOptions& options, OutputPlan& plan) {
  for (const std::string& report : options.reports) {
    const size_t equals = report.find('=');
    const std::string_view kind = std::string_view(report).substr(0, equals);
    const auto known = std::find_if(std::begin(kReportKinds), std::end(kReportKinds),
                                    [&](const auto& entry) { return entry.first == kind; });
    if (equals == std::string::npos || equals + 1 == report.size() || known == std::end(kReportKinds)) {
      return "Invalid report \"" + report + "\": use KIND=FILE with KIND standard, redirects, links or raw";
    }
    plan.reports.emplace_back(known->second, report.substr(equals + 1));
  }
  plan.save = options.save;
  plan.junit = options.junit;
  if (!options.filter.empty()) {
    const auto filter = filterNamed(options.filter);
    if (!filter) return "Unknown filter \"" + options.filter + "\": use 0 to 13 or a filter's exact name";
    plan.filter = *filter;
  }
  if (!options.sort.empty()) {
    std::string_view column = options.sort;
    if (column.ends_with(":desc")) {
      plan.descending = true;
      column.remove_suffix(5);
    }
    plan.sortColumn = columnNamed(column);
    if (!plan.sortColumn) return "Unknown column \"" + std::string(column) + "\": use a column's header text or 0 to 10";
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
    if (!input.empty() && sameFile(*output, input)) reason = "it is the input list";
    // Two regular files of one name would overwrite each other; a device or a pipe may be shared.
    const bool named = std::any_of(outputs.begin(), output, [&](const auto& earlier) {
      std::error_code ignored;
      return std::filesystem::weakly_canonical(earlier, ignored) == std::filesystem::weakly_canonical(*output, ignored) ||
             sameFile(earlier, *output);
    });
    if (!reason && named && !isWrittenDirectly(*output)) reason = "it is named twice";
    if (reason) return std::string(kCannotCreateReportMessage) + output->string() + " (" + *reason + ")";
  }
  return std::nullopt;
}

bool writeOutputs(ResultStore& store, int testMode, const OutputPlan& plan, UserInterface& ui) {
  if (plan.empty()) return true;
  const StopOnInterrupt notice([&ui] {
    ui.showMessage("Interrupted", "writing the reports and the results file of what was checked; interrupt again "
                                  "to end at once without them");
  });
  ResultView view(store);
  view.selectFilter(plan.filter);
  if (plan.sortColumn && !plan.reports.empty()) {
    view.sortBy(*plan.sortColumn, plan.descending ? SortDirection::Descending : SortDirection::Ascending);
    view.waitForSort();
  }
  FileTask task(ui);
  bool ok = true;
  // One file after the other, each progress line naming its file.
  auto write = [&](const std::filesystem::path& file, auto writeTo) {
    task.start([&](const TaskProgress& progress, const std::atomic<bool>& quitting) {
      const TaskProgress named = [&](int64_t done, int64_t total, const std::string& text) {
        progress(done, total, file.string() + ": " + text);
      };
      return writeTo(named, quitting);
    });
    ok = task.wait() && ok;
  };
  for (const auto& [kind, file] : plan.reports) {
    write(file, [&, kind = kind, file = file](const TaskProgress& progress, const std::atomic<bool>& quitting) {
      return writeReport(store, view.selection(), kind, testMode, file, progress, &quitting);
    });
  }
  if (!plan.save.empty()) {
    write(plan.save, [&](const TaskProgress& progress, const std::atomic<bool>& quitting) {
      return saveResults(store, testMode, plan.save, progress, &quitting);
    });
  }
  if (!plan.junit.empty()) {
    const std::string_view suite = testMode == kTestModeMapping ? "mapping-test" : "canonical-test";
    task.start([&](const TaskProgress&, const std::atomic<bool>&) { return writeJUnitReport(store, suite, plan.junit); });
    ok = task.wait() && ok;
  }
  return ok;
}

}  // namespace tallyvane::cli
