#pragma once
// `tallyvane-cli check INPUT` and `tallyvane-cli demo`: a crawl with progress on stderr and the
// results on stdout.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/CrawlSession.h"
#include "app/CrawlSetup.h"
#include "app/HttpLibrary.h"
#include "app/Shard.h"
#include "cli/ConsoleInterface.h"
#include "cli/ExitStatus.h"
#include "cli/FailGate.h"
#include "cli/OutputPlan.h"
#include "cli/RequestOverrides.h"
#include "cli/ResultLines.h"
#include "config/Settings.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

// Printed after the filter counts: lines of the list that were not http:// or https:// URLs.
inline constexpr std::string_view kLinesSkippedTitle = "Lines skipped (not http:// or https://)";

struct CheckOptions {
  std::string input;   // a .txt, .csv or .xml file, or "-" for lines on stdin; report: the results file
  bool quiet = false;  // no progress, and no plain line per URL (--format lines still come)
  bool stats = false;  // the result store's size on stderr at the end
  OutputPlan outputs;  // reports and results file when the crawl ends
  ConnectionOptions connection;
  RequestOverrides request;  // this run's own request settings
  // The per-URL lines in a pipeline format, each as soon as its URL is done; the counts then go to
  // stderr.
  std::optional<LineFormat> format;
  FailGate failOn;  // classes of URL that make the exit status 2
  // A results file whose URLs are not checked again; the run is saved to it (outputs.save).
  std::filesystem::path resume;
  std::chrono::milliseconds checkpointInterval{0};  // saves outputs.save while the crawl runs; 0: never
  std::optional<Shard> shard;                       // only this shard of the list
};

int runCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
             std::FILE* out);

// Starts the demo site on 127.0.0.1, checks its URL list as check does, and stops the site.
int runDemo(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
            std::FILE* out);

// `tallyvane-cli report RESULTS.tvl`: loads a results file (options.input), prints its lines in the
// format asked for and writes the planned reports.
int runReport(const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// Lines from stdin, separated by CR LF as a list typed in is.
std::string standardInputText();

// Runs the crawl the setup describes (or of manualText when it has no input file), prints the
// results and writes the outputs. A test that finished with any URL FAILed gives kExitTestFailed.
int runCrawl(const HttpLibrary& http, const Settings& settings, const CrawlSetup& setup, std::string manualText,
             const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// The count of every filter and of the lines skipped (in a test, of PASS and FAIL too), then
// (unless quiet, or the lines went out in a pipeline format) one plain line per URL. Filters added
// after the first thirteen are counted last, and only when they hold a URL: output that has none
// stays as it always was.
void printResults(const ResultStore& store, const LineContext& context, int64_t linesSkipped,
                  const CheckOptions& options, std::FILE* out);

// Every URL's line in the format, after its heading.
void printLines(const ResultStore& store, const LineContext& context, LineFormat format, std::FILE* out);

// "Test Failed" named by --filter or --fail-on over results without a test's verdicts: refused, as
// it could only ever be empty and a gate on it would pass for want of a test.
std::optional<std::string> testFilterProblem(const CheckOptions& options, TestMode testMode);

// True when a URL FAILed its test (when testsCount) or falls in one of the gate's classes; the
// gate's counts then go to stderr.
bool judge(const ResultStore& store, bool testsCount, FailGate gate);

}  // namespace tallyvane::cli
