#include "cli/CheckCommand.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <iterator>

#include "app/Crawl.h"
#include "base/Text.h"
#include "cli/CrawlProgress.h"
#include "cli/Interrupts.h"
#include "cli/LiveLines.h"
#include "cli/ResumableRun.h"
#include "demo/DemoSite.h"
#include "results/Filters.h"
#include "results/ResultColumns.h"
#include "results/ResultsFile.h"

namespace tallyvane::cli {
namespace {

std::string inputNameOf(const std::string& input) { return input == "-" ? "standard input" : input; }

int64_t failedUrls(const ResultStore& store) { return store.rowCount({false, Filter::TestFailed}); }

// Counted on every run since the first version; the ones after it only when they hold a URL.
constexpr Filter kLastFilterAlwaysCounted = Filter::NoResponseTimeout;

void printFilterCount(std::FILE* counts, const ResultStore& store, Filter filter) {
  std::fprintf(counts, "%s: %lld\n", std::string(filterName(filter)).c_str(),
               static_cast<long long>(store.rowCount({false, filter})));
}

}  // namespace

std::string standardInputText() {
  return withCrLfLineBreaks(std::string{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()});
}

int runCrawl(const HttpLibrary& http, const Settings& settings, const CrawlSetup& setup, std::string manualText,
             const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  if (interrupted()) {  // while the list was read: no request at all
    ui.showMessage(kAbortedTitle, kAbortedMessage);
    return kExitAborted;
  }
  CrawlSession session(ui, &http, settings.slowPageThresholdMs);
  const ResultStore& store = session.store();
  CrawlSetup run = setup;
  run.shard = options.shard;
  if (!options.resume.empty()) {
    if (const auto refused = loadRunToResume(session, options.resume, setup.testMode, ui)) return *refused;
    run.keepStoredResults = true;
  }
  const bool lowMemory = setup.lowMemoryReport != nullptr;
  const LineContext lines{setup.testMode, expectedTargetOf(setup)};
  std::optional<LiveLines> live;
  // An explicit --format is asked for, so -q does not silence it.
  if (options.format && !options.outputs.reportToStdout && !lowMemory) {
    live.emplace(store, lines, *options.format, out);
    session.setResultsChanged([&live] { live->recordsAdded(); });
  }
  CrawlProgress progress(session, setup.inputFile, setup.testMode);
  ui.setProgress(!options.quiet);
  ui.setProgressLine([&progress] { return progress.line(); });
  // An empty list is told by its error alone, not by a success first.
  ui.holdMessage(kFinishedTitle);
  ui.setBusy(true);
  session.startCrawl(withOverrides(settings, options.request), run, std::move(manualText), options.connection);
  {
    // After the start, which sets the running flag: an interrupt that came just before is not lost.
    const StopOnInterrupt abort([&session] { session.stopCrawl(); });
    const auto checkpoints =
        startCheckpoints(session, setup.testMode, options.outputs.save, options.checkpointInterval, ui);
    session.waitForCrawl();
  }  // the checkpoints end before the final save writes the same file
  progress.settle(session.crawl().end() == CrawlEnd::Finished);
  ui.setBusy(false);
  ui.showLastProgress();
  ui.setProgressLine({});
  if (live) live->finish();
  const Crawl& crawl = session.crawl();
  const bool finished = crawl.end() == CrawlEnd::Finished;
  // URLs checked or resumed, or a finished shard the list gave nothing: its empty file is its result.
  const bool somethingToWrite =
      crawl.urlsChecked() > 0 || store.count() > 0 || (finished && crawl.urlsOfOtherShards() > 0);
  const bool nothingFound = finished && !somethingToWrite && !lowMemory;
  ui.releaseHeldMessage(!nothingFound);
  if (crawl.end() == CrawlEnd::NotStarted) return exitStatusOf(crawl.end(), true, interrupted());
  if (lowMemory) {
    // Nothing was kept: the report written during the crawl holds the results.
    std::fprintf(out, "URLs: %lld\nResponses: %lld\n", static_cast<long long>(crawl.urlsChecked()),
                 static_cast<long long>(crawl.responsesReceived()));
    return exitStatusOf(crawl.end(), true, interrupted());
  }
  if (nothingFound) {
    // Empty files would replace the user's earlier ones for nothing.
    std::string message = "No URL found in " + inputNameOf(options.input);
    if (const int64_t skipped = crawl.linesSkipped(); skipped > 0) {
      message += " (" + std::to_string(skipped) + (skipped == 1 ? " line is" : " lines are") +
                 " not an http:// or https:// URL)";
    }
    ui.showMessage(kErrorTitle, message);
    return kExitError;
  }
  printResults(store, lines, crawl.linesSkipped(), options, out);
  if (options.stats) {
    std::fprintf(stderr, "Result store: %zu bytes in %lld records\n", store.memoryBytes(),
                 static_cast<long long>(store.count()));
  }
  if (!somethingToWrite) {
    if (!options.outputs.empty())
      ui.showMessage(kAbortedTitle, "No URL was checked: no report or results file written");
    return exitStatusOf(crawl.end(), true, interrupted());
  }
  // What was checked is written even after an abort: results are never thrown away.
  const bool written = writeOutputs(session, options.outputs, lines.expected, ui);
  const bool failed = judge(store, setup.testMode != TestMode::None, options.failOn);
  return exitStatusOf(crawl.end(), written, interrupted(), failed ? kExitTestFailed : kExitFinished);
}

std::optional<std::string> testFilterProblem(const CheckOptions& options, TestMode testMode) {
  if (testMode != TestMode::None) return std::nullopt;
  for (const Filter filter : kFilters) {
    if (!needsTestResults(filter) || (options.outputs.filter != filter && !options.failOn.names(filter))) continue;
    return "\"" + std::string(filterName(filter)) +
           "\" needs a test's results: use it with mapping-test or canonical-test, or on the results file of one";
  }
  return std::nullopt;
}

bool judge(const ResultStore& store, bool testsCount, FailGate gate) {
  const bool testFailed = testsCount && failedUrls(store) > 0;
  if (gate.empty() || !gate.judge(store)) return testFailed;
  for (const std::string& line : gate.countLines()) std::fprintf(stderr, "%s\n", line.c_str());
  return true;
}

void printResults(const ResultStore& store, const LineContext& context, int64_t linesSkipped,
                  const CheckOptions& options, std::FILE* out) {
  // In a pipeline the lines own stdout, and the counts go beside the progress.
  const bool linesOwnStdout = options.format || options.outputs.reportToStdout;
  std::FILE* counts = linesOwnStdout ? stderr : out;
  for (const Filter filter : kFilters) {
    if (filterNumber(filter) <= filterNumber(kLastFilterAlwaysCounted)) printFilterCount(counts, store, filter);
  }
  std::fprintf(counts, "%s: %lld\n", std::string(kLinesSkippedTitle).c_str(), static_cast<long long>(linesSkipped));
  if (context.testMode != TestMode::None) {
    const int64_t failed = failedUrls(store);
    std::fprintf(counts, "PASS: %lld\nFAIL: %lld\n", static_cast<long long>(store.count() - failed),
                 static_cast<long long>(failed));
  }
  for (const Filter filter : kFilters) {
    // "FAIL: " above counts "Test Failed".
    if (filterNumber(filter) <= filterNumber(kLastFilterAlwaysCounted) || filter == Filter::TestFailed) continue;
    if (store.rowCount({false, filter}) > 0) printFilterCount(counts, store, filter);
  }
  // Lines in a pipeline format were written while the crawl ran.
  if (options.quiet || linesOwnStdout) return;
  std::fputc('\n', out);
  for (int64_t i = 0; i < store.count() && !std::ferror(out); ++i) {  // a reader gone (| head) ends the lines
    std::fputs(resultLine(*store.recordAtIndex(i), context, LineFormat::Plain).c_str(), out);
  }
}

void printLines(const ResultStore& store, const LineContext& context, LineFormat format, std::FILE* out) {
  std::fputs(headingLine(format, context.testMode).c_str(), out);
  for (int64_t i = 0; i < store.count() && !std::ferror(out); ++i) {
    std::fputs(resultLine(*store.recordAtIndex(i), context, format).c_str(), out);
  }
  std::fflush(out);
}

int runCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
             std::FILE* out) {
  if (const auto refused = testFilterProblem(options, TestMode::None)) {
    ui.showMessage(kErrorTitle, *refused);
    return kExitError;
  }
  CrawlSetup setup;
  if (options.input != "-") {
    if (!inputExists(options.input)) {
      ui.showMessage(kErrorTitle, std::string(kInputFileMissingMessage) + " " + options.input);
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

int runDemo(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
            std::FILE* out) {
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

int runReport(const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  const OutputPlan& plan = options.outputs;
  if (const auto refused = checkOutputPaths(plan, options.input)) {
    ui.showMessage(kErrorTitle, *refused);
    return kExitError;
  }
  CrawlSession session(ui, nullptr, ResultStoreOptions{}.slowPageThresholdMs);
  if (!loadIntoSession(session, options.input)) return interrupted() ? kExitAborted : kExitError;
  if (const auto refused = testFilterProblem(options, session.testMode())) {
    ui.showMessage(kErrorTitle, *refused);
    return kExitError;
  }
  // A saved run's rules are not at hand: its lines tell what was met, not what was expected.
  const LineContext lines{session.testMode(), {}};
  if (options.format && !plan.reportToStdout) printLines(session.store(), lines, *options.format, out);
  const bool written = writeOutputs(session, plan, {}, ui);
  // A saved test's FAILs were the exit status of its own run.
  const bool failed = judge(session.store(), false, options.failOn);
  return exitStatusOf(CrawlEnd::Finished, written, interrupted(), failed ? kExitTestFailed : kExitFinished);
}

}  // namespace tallyvane::cli
