#include "app/CrawlSession.h"

#include <cassert>

#include "results/HtmlSummary.h"

namespace tallyvane {
namespace {

ListMode listModeOf(const CrawlSetup& setup) {
  if (setup.lowMemoryReport) return ListMode::Live;
  return setup.testMode == TestMode::None ? ListMode::Results : ListMode::TestResults;
}

}  // namespace

CrawlSession::CrawlSession(UserInterface& ui, const HttpLibrary* http, int64_t slowPageThresholdMs)
    : ui_(ui),
      store_(ResultStoreOptions{.slowPageThresholdMs = slowPageThresholdMs}),
      view_(store_),
      search_(store_),
      slowPageThresholdMs_(slowPageThresholdMs),
      fileTask_(ui) {
  if (http != nullptr) crawl_ = std::make_unique<Crawl>(http->api(), input_, ui_);
}

CrawlSession::~CrawlSession() {
  // The crawl and the task end before the store they write to.
  quit();
  if (crawl_) crawl_->wait();
}

Crawl& CrawlSession::crawl() {
  assert(crawl_ && "a session without libcurl cannot crawl");
  return *crawl_;
}

const Crawl& CrawlSession::crawl() const {
  assert(crawl_ && "a session without libcurl cannot crawl");
  return *crawl_;
}

void CrawlSession::clearResults() {
  assert(owner_.isCurrent());
  search_.stop();
  view_.clearStore();
  view_.selectFilter(Filter::AllUrls);
}

void CrawlSession::startCrawl(const Settings& settings, const CrawlSetup& setup, std::string manualText,
                              ConnectionOptions connection) {
  assert(owner_.isCurrent());
  Crawl& crawl = this->crawl();
  crawl.wait();  // the last crawl's controller may still be handing over its final message
  if (!setup.keepStoredResults) clearResults();
  testMode_ = setup.testMode;
  listMode_ = listModeOf(setup);
  const bool lowMemory = setup.lowMemoryReport != nullptr;

  CrawlRequest request;
  if (setup.inputFile.empty()) {
    request.manualText = std::move(manualText);
  } else {
    request.inputFile = setup.inputFile;
  }
  request.threads = static_cast<int>(settings.NumThreads);
  request.settings = settings;
  request.connection = std::move(connection);
  if (lowMemory) {
    request.sink = setup.lowMemoryReport;
  } else {
    request.sink = std::make_shared<StoreSink>(store_, setup.testMode);
  }
  request.workerView = lowMemory;
  crawl.setStages(crawlStagesFor(settings, setup));
  crawl.setResultsChanged(lowMemory ? nullptr : resultsChanged_);
  crawl.start(std::move(request));
}

void CrawlSession::waitForCrawl() {
  assert(owner_.isCurrent());
  crawl().wait();
  if (listMode_ == ListMode::Live) listMode_ = ListMode::Results;
}

void CrawlSession::runFileTask(FileWork work, TaskEnded ended) {
  assert(owner_.isCurrent());
  view_.stopSort();
  fileTask_.start([work = std::move(work), ended = std::move(ended)](const TaskProgress& progress,
                                                                     const std::atomic<bool>& quitting) {
    std::optional<Message> failure = work(progress, quitting);
    if (ended) ended();
    return failure;
  });
}

void CrawlSession::startSave(const std::filesystem::path& path, TaskEnded ended) {
  runFileTask([this, path, testMode = testMode_](const TaskProgress& progress, const std::atomic<bool>& quitting) {
    return saveResults(store_, testMode, path, progress, &quitting);
  }, std::move(ended));
}

void CrawlSession::startLoad(const std::filesystem::path& path, TaskEnded ended) {
  clearResults();
  testMode_ = TestMode::None;
  loaded_.reset();
  runFileTask([this, path](const TaskProgress& progress, const std::atomic<bool>& quitting) {
    LoadOutcome outcome = loadResults(store_, path, progress, &quitting);
    std::optional<Message> message = outcome.message;
    loaded_ = std::move(outcome);  // read by the main thread only once the task has ended
    return message;
  }, std::move(ended));
}

void CrawlSession::startReport(ReportKind kind, const std::filesystem::path& path, TaskEnded ended) {
  view_.stopSort();  // the report takes the order in place now
  runFileTask([this, kind, path, testMode = testMode_, selection = view_.selection()](
                  const TaskProgress& progress, const std::atomic<bool>& quitting) {
    if (kind == ReportKind::HtmlSummary) {
      return writeHtmlSummary(store_, testMode, slowPageThresholdMs_, path, progress, &quitting);
    }
    return writeReport(store_, selection, kind, testMode, path, progress, &quitting);
  }, std::move(ended));
}

FileTaskEnd CrawlSession::finishFileTask() {
  assert(owner_.isCurrent());
  FileTaskEnd end;
  end.succeeded = fileTask_.wait();
  if (loaded_) {
    testMode_ = static_cast<TestMode>(loaded_->testMode);
    end.loadedResponses = loaded_->responses;
    loaded_.reset();
    // A file of canonical-test results shows its verdicts; one without a test shows none.
    if (testMode_ == TestMode::Canonical) listMode_ = ListMode::TestResults;
    if (testMode_ == TestMode::None) listMode_ = ListMode::Results;
  }
  return end;
}

void CrawlSession::quit() {
  assert(owner_.isCurrent());
  if (crawl_) {
    crawl_->setExiting();
    crawl_->stop();
  }
  fileTask_.quit();
  view_.stopSort();
  search_.stop();
}

}  // namespace tallyvane
