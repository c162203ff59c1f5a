#pragma once
// `tallyvane-cli check INPUT` and `tallyvane-cli demo`: a crawl with progress on stderr and the
// results on stdout.

#include <cstdio>
#include <optional>
#include <string>

#include "app/CrawlSession.h"
#include "app/CrawlSetup.h"
#include "app/HttpLibrary.h"
#include "cli/ConsoleInterface.h"
#include "cli/ExitStatus.h"
#include "cli/OutputPlan.h"
#include "config/Settings.h"
#include "results/ResultStore.h"

namespace tallyvane::cli {

// Printed after the filter counts: lines of the list that were not http:// or https:// URLs.
inline constexpr std::string_view kLinesSkippedTitle = "Lines skipped (not http:// or https://)";

struct CheckOptions {
  std::string input;           // a .txt, .csv or .xml file, or "-" for lines on stdin
  std::optional<int> threads;  // instead of NumThreads for this run
  std::optional<int64_t> timeoutSeconds;  // instead of Requests/TimeoutSeconds for this run
  bool quiet = false;          // no progress and no line per URL
  bool stats = false;          // the result store's size on stderr at the end
  OutputPlan outputs;          // reports and results file when the crawl ends
  ConnectionOptions connection;
};

int runCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// Starts the demo site on 127.0.0.1, checks its URL list as check does, and stops the site.
int runDemo(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// `tallyvane-cli report RESULTS.tvl`: loads a results file and writes the planned reports.
int runReport(const std::string& resultsFile, const OutputPlan& plan, ConsoleInterface& ui);

// Runs the crawl the setup describes (or of manualText when it has no input file), prints the
// results and writes the outputs. A test that finished with any URL FAILed gives kExitTestFailed.
int runCrawl(const HttpLibrary& http, const Settings& settings, const CrawlSetup& setup, std::string manualText,
             const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// The count of every filter and of the lines skipped (in a test, of PASS and FAIL too), then
// (unless quiet) one tab-separated line per URL: in a test its result first, then URL, status
// code, status text, number of redirects, final URL.
void printResults(const ResultStore& store, TestMode testMode, int64_t linesSkipped, bool quiet, std::FILE* out);

}  // namespace tallyvane::cli
