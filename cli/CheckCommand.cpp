#include "cli/CheckCommand.h"

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <iterator>

#include "app/Crawl.h"
#include "app/FileTask.h"
#include "base/Text.h"
#include "cli/JUnitReport.h"
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

int exitStatusOf(CrawlEnd end) {
  switch (end) {
    case CrawlEnd::Finished: return kExitFinished;
    case CrawlEnd::Aborted: return kExitAborted;
    default: return kExitError;
  }
}

int64_t failedUrls(const ResultStore& store) {
  int64_t failed = 0;
  for (int64_t i = 0; i < store.count(); ++i) failed += store.recordAtIndex(i)->testPassed == 1 ? 0 : 1;
  return failed;
}

}  // namespace

int runCrawl(const CurlApi& curl, const Settings& settings, const CrawlSetup& setup, CrawlRequest request,
             const CheckOptions& options, ConsoleInterface& ui, RunningFlag& running, std::FILE* out) {
  request.threads = static_cast<int>(options.threads.value_or(static_cast<int>(settings.NumThreads)));
  request.connection = options.connection;
  ResultStore store(ResultStoreOptions{.slowPageThresholdMs = settings.slowPageThresholdMs});
  UrlInput input;
  Crawl crawl(curl, settings, store, input, ui, running);
  ui.setProgress(!options.quiet);
  ui.setBusy(true);
  startCrawl(crawl, settings, setup, std::move(request));
  crawl.wait();
  ui.setBusy(false);
  if (crawl.end() == CrawlEnd::NotStarted) return exitStatusOf(crawl.end());
  if (setup.lowMemoryReport) {
    // Nothing was kept: the report written during the crawl holds the results.
    std::fprintf(out, "URLs: %lld\nResponses: %lld\n", static_cast<long long>(crawl.urlsChecked()),
                 static_cast<long long>(crawl.responsesReceived()));
    return exitStatusOf(crawl.end());
  }
  printResults(store, setup.testMode, options.quiet, out);
  if (options.stats) {
    std::fprintf(stderr, "Result store: %zu bytes in %lld records\n", store.memoryBytes(),
                 static_cast<long long>(store.count()));
  }
  // What was checked is written even after an abort: results are never thrown away.
  bool written = writeOutputs(store, setup.testMode, options.outputs, ui);
  if (!options.junit.empty()) {
    const std::string_view suite = setup.testMode == kTestModeMapping ? "mapping-test" : "canonical-test";
    if (const auto failure = writeJUnitReport(store, suite, options.junit)) {
      ui.showMessage(failure->title, failure->text);
      written = false;
    }
  }
  int status = exitStatusOf(crawl.end());
  if (status == kExitFinished && setup.testMode != kTestModeNone && failedUrls(store) > 0) status = kExitTestFailed;
  return status == kExitFinished && !written ? kExitError : status;
}

void printResults(const ResultStore& store, int testMode, bool quiet, std::FILE* out) {
  for (int filter = 0; filter <= kFilterCount; ++filter) {
    std::fprintf(out, "%s: %lld\n", std::string(kFilterNames[static_cast<size_t>(filter)]).c_str(),
                 static_cast<long long>(store.rowCount({false, filter})));
  }
  const bool test = testMode != kTestModeNone;
  if (test) {
    const int64_t failed = failedUrls(store);
    std::fprintf(out, "PASS: %lld\nFAIL: %lld\n", static_cast<long long>(store.count() - failed),
                 static_cast<long long>(failed));
  }
  if (quiet) return;
  std::fputc('\n', out);
  for (int64_t i = 0; i < store.count(); ++i) {
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

int runCheck(const CurlApi& curl, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
             RunningFlag& running, std::FILE* out) {
  CrawlRequest request;
  if (options.input == "-") {
    request.manualText = standardInputText();
  } else {
    std::error_code ignored;
    if (!std::filesystem::exists(options.input, ignored)) {
      ui.showMessage(kErrorTitle, kInputFileMissingMessage);
      return kExitError;
    }
    request.inputFile = options.input;
  }
  return runCrawl(curl, settings, CrawlSetup{}, std::move(request), options, ui, running, out);
}

int runDemo(const CurlApi& curl, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui,
            RunningFlag& running, std::FILE* out) {
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
  CrawlRequest request;
  for (const std::string& url : site.urls()) request.manualText += url + "\r\n";
  const int status = runCrawl(curl, settings, CrawlSetup{}, std::move(request), demo, ui, running, out);
  std::fprintf(out, "\nReports and results file written to %s\n", folder.c_str());
  return status;
}

int runReport(const std::string& resultsFile, const OutputPlan& plan, ConsoleInterface& ui) {
  ResultStore store;
  LoadOutcome loaded;
  FileTask task(ui);
  task.start([&](const TaskProgress& progress, const std::atomic<bool>& quitting) {
    loaded = loadResults(store, resultsFile, progress, &quitting);
    return loaded.message;
  });
  if (!task.wait()) return kExitError;
  return writeOutputs(store, loaded.testMode, plan, ui) ? kExitFinished : kExitError;
}

}  // namespace tallyvane::cli
