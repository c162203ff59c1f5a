#include "cli/CheckCommand.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <iterator>

#include "app/Crawl.h"
#include "app/FileTask.h"
#include "base/Text.h"
#include "cli/Interrupts.h"
#include "results/ResultsFile.h"
#include "results/Filters.h"
#include "results/ResultColumns.h"
#include "demo/DemoSite.h"

namespace tallyvane::cli {
namespace {

// Lines from stdin, separated by CR LF as the manual text wants them.
std::string standardInputText() {
  return withCrLfLineBreaks(std::string{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()});
}

std::string inputNameOf(const std::string& input) { return input == "-" ? "standard input" : input; }

int64_t failedUrls(const ResultStore& store) {
  int64_t failed = 0;
  for (int64_t i = 0; i < store.count(); ++i) failed += store.recordAtIndex(i)->testPassed == 1 ? 0 : 1;
  return failed;
}

}  // namespace

int runCrawl(const HttpLibrary& http, const Settings& settings, const CrawlSetup& setup, std::string manualText,
             const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  if (interrupted()) {  // while the list was read: no request at all
    ui.showMessage(kAbortedTitle, kAbortedMessage);
    return kExitAborted;
  }
  // The run's own options, for this run only.
  Settings effective = settings;
  effective.NumThreads = options.threads.value_or(settings.NumThreads);
  effective.TimeoutSeconds = options.timeoutSeconds.value_or(settings.TimeoutSeconds);
  CrawlSession session(ui, &http, settings.slowPageThresholdMs);
  ui.setProgress(!options.quiet);
  ui.setBusy(true);
  session.startCrawl(effective, setup, std::move(manualText), options.connection);
  {
    // After the start, which sets the running flag: an interrupt that came just before is not lost.
    const StopOnInterrupt abort([&session] { session.stopCrawl(); });
    session.waitForCrawl();
  }
  ui.setBusy(false);
  const Crawl& crawl = session.crawl();
  const ResultStore& store = session.store();
  if (crawl.end() == CrawlEnd::NotStarted) return exitStatusOf(crawl.end(), true, interrupted());
  if (setup.lowMemoryReport) {
    // Nothing was kept: the report written during the crawl holds the results.
    std::fprintf(out, "URLs: %lld\nResponses: %lld\n", static_cast<long long>(crawl.urlsChecked()),
                 static_cast<long long>(crawl.responsesReceived()));
    return exitStatusOf(crawl.end(), true, interrupted());
  }
  printResults(store, setup.testMode, crawl.linesSkipped(), options.quiet, out);
  if (options.stats) {
    std::fprintf(stderr, "Result store: %zu bytes in %lld records\n", store.memoryBytes(),
                 static_cast<long long>(store.count()));
  }
  if (crawl.urlsChecked() == 0) {
    // Empty files would replace the user's earlier ones for nothing.
    if (crawl.end() == CrawlEnd::Finished) {
      ui.showMessage(kErrorTitle, "No URL found in " + inputNameOf(options.input));
      return kExitError;
    }
    if (!options.outputs.empty()) ui.showMessage(kAbortedTitle, "No URL was checked: no report or results file written");
    return exitStatusOf(crawl.end(), true, interrupted());
  }
  // What was checked is written even after an abort: results are never thrown away.
  const bool written = writeOutputs(session, options.outputs, ui);
  const bool failed = setup.testMode != TestMode::None && failedUrls(store) > 0;
  return exitStatusOf(crawl.end(), written, interrupted(), failed ? kExitTestFailed : kExitFinished);
}

void printResults(const ResultStore& store, TestMode testMode, int64_t linesSkipped, bool quiet, std::FILE* out) {
  for (int filter = 0; filter <= kFilterCount; ++filter) {
    std::fprintf(out, "%s: %lld\n", std::string(kFilterNames[static_cast<size_t>(filter)]).c_str(),
                 static_cast<long long>(store.rowCount({false, filter})));
  }
  std::fprintf(out, "%s: %lld\n", std::string(kLinesSkippedTitle).c_str(), static_cast<long long>(linesSkipped));
  const bool test = testMode != TestMode::None;
  if (test) {
    const int64_t failed = failedUrls(store);
    std::fprintf(out, "PASS: %lld\nFAIL: %lld\n", static_cast<long long>(store.count() - failed),
                 static_cast<long long>(failed));
  }
  if (quiet) return;
  std::fputc('\n', out);
  for (int64_t i = 0; i < store.count() && !std::ferror(out); ++i) {  // a reader gone (| head) ends the lines
    const ResultRecord& record = *store.recordAtIndex(i);
    std::string line = test ? cellText(record, kTestResultColumn) + '\t' : std::string();
    line += cellText(record, kUrlColumn);
    for (int column : {kStatusCodeColumn, kStatusColumn, kRedirectsColumn, kFinalUrlColumn}) {
      line += '\t';
      line += cellText(record, column);
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
}

int runCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  CrawlSetup setup;
  if (options.input != "-") {
    std::error_code ignored;
    if (!std::filesystem::exists(options.input, ignored)) {
      ui.showMessage(kErrorTitle, kInputFileMissingMessage);
      return kExitError;
    }
    setup.inputFile = options.input;
  }
  if (const auto refused = checkOutputPaths(options.outputs, setup.inputFile)) {
    ui.showMessage(kErrorTitle, *refused);
    return kExitError;
  }
  return runCrawl(http, settings, setup, options.input == "-" ? standardInputText() : std::string(), options, ui, out);
}

int runDemo(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  const demo::DemoSite site;
  std::fprintf(out, "Demo site running at %s\n\n", site.server().origin().c_str());
  std::fflush(out);
  std::string folder = (std::filesystem::temp_directory_path() / "tallyvane-demo-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) {
    ui.showMessage(kErrorTitle, "Cannot create a folder for the demo's reports in " +
                                    std::filesystem::temp_directory_path().string());
    return kExitError;
  }
  CheckOptions demo = options;
  const std::filesystem::path base(folder);
  demo.outputs.reports = {{ReportKind::Standard, base / "standard.csv"},
                          {ReportKind::RedirectDetails, base / "redirects.csv"},
                          {ReportKind::LinkHeaders, base / "links.csv"},
                          {ReportKind::RawHeaders, base / "raw-headers.csv"}};
  demo.outputs.save = base / "demo.tvl";
  std::string urls;
  for (const std::string& url : site.urls()) urls += url + "\r\n";
  const int status = runCrawl(http, settings, CrawlSetup{}, std::move(urls), demo, ui, out);
  std::fprintf(out, "\nReports and results file written to %s\n", folder.c_str());
  return status;
}

int runReport(const std::string& resultsFile, const OutputPlan& plan, ConsoleInterface& ui) {
  if (const auto refused = checkOutputPaths(plan, resultsFile)) {
    ui.showMessage(kErrorTitle, *refused);
    return kExitError;
  }
  CrawlSession session(ui, nullptr, ResultStoreOptions{}.slowPageThresholdMs);
  session.startLoad(resultsFile);
  bool complete;
  {
    const StopOnInterrupt stop([&session] { session.stopFileTask(); });
    complete = session.finishFileTask().succeeded;
  }
  if (!complete) return interrupted() ? kExitAborted : kExitError;
  const bool written = writeOutputs(session, plan, ui);
  return exitStatusOf(CrawlEnd::Finished, written, interrupted());
}

}  // namespace tallyvane::cli
