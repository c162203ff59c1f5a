#pragma once
// What a command writes once its results are complete: CSV reports in the order and filter of
// the result list, and the results file.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/CrawlSession.h"
#include "app/UserInterface.h"
#include "cli/ConsoleInterface.h"
#include "cli/FailureDetail.h"
#include "results/CsvReport.h"
#include "results/Filters.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

struct OutputOptions {
  std::vector<std::string> reports;  // KIND=FILE
  std::string save;                  // results file
  std::string filter;                // number or name
  std::string sort;                  // COLUMN[:desc], header text or number
  std::string junit;                 // tests: JUnit XML
};

struct OutputPlan {
  std::vector<std::pair<ReportKind, std::filesystem::path>> reports;
  std::filesystem::path save;
  Filter filter = Filter::AllUrls;
  std::optional<int> sortColumn;
  bool descending = false;
  std::filesystem::path junit;  // written by the test commands
  bool reportToStdout = false;  // a report named "-" goes to stdout: the per-URL lines are off

  bool empty() const { return reports.empty() && save.empty() && junit.empty(); }
};

// A filter by its number or its name, and a column by its number or header text, in any case.
std::optional<Filter> filterNamed(std::string_view text);
std::optional<int> columnNamed(std::string_view text);
// Every filter and every column, a line each with its number, for messages and --help.
std::string filterList();
std::string columnList();

// The plan, or the message naming the first option that is wrong.
std::optional<std::string> parseOutputPlan(const OutputOptions& options, OutputPlan& plan);

// Before any request: the message refusing an output that cannot be written (its folder missing
// or not writable, a folder, the input list itself, or named twice), or nothing. input is the
// list's path, or empty when there is none.
std::optional<std::string> checkOutputPaths(const OutputPlan& plan, const std::filesystem::path& input);

// Writes every report and the results file of the session's results, each on its file task;
// false when one failed (its message has been shown). An interrupt meanwhile lets them finish:
// it is what was checked.
// expected: the test's targets, told in the JUnit failures.
bool writeOutputs(CrawlSession& session, const OutputPlan& plan, const ExpectedTarget& expected, ConsoleInterface& ui);

}  // namespace tallyvane::cli
