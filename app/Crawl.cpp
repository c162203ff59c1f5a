#include "app/Crawl.h"

#include <cassert>
#include <cmath>
#include <new>
#include <system_error>
#include <vector>

#include "app/CurlShare.h"
#include "app/HttpDocumentFetcher.h"
#include "app/WorkerTurns.h"
#include "base/AlternateSignalStack.h"
#include "base/Clock.h"
#include "engine/HeaderAnalysis.h"
#include "engine/WorkerConnection.h"
#include "input/UrlParts.h"

namespace tallyvane {
namespace {

static_assert(InFlightUrls::kCapacity >= kMaxWorkers);  // the store's claims: one per worker

// URLs set aside for a full host, beyond which a worker waits for the host with its URL: a list of
// one host must not be read into memory whole.
constexpr size_t kMaxUrlsSetAside = 10000;

// Counts one when the worker is done with its URL, however the loop leaves it; not when the URL
// was set aside for later.
class CountWhenDone {
 public:
  explicit CountWhenDone(std::atomic<int64_t>* counter) : counter_(counter) {}
  ~CountWhenDone() {
    if (counter_ != nullptr) counter_->fetch_add(1, std::memory_order_relaxed);
  }
  CountWhenDone(const CountWhenDone&) = delete;
  CountWhenDone& operator=(const CountWhenDone&) = delete;
  void setAside() { counter_ = nullptr; }

 private:
  std::atomic<int64_t>* counter_;
};

// A URL in a worker's hand while hosts are paced: the crawl does not end before it is done.
class UrlInHand {
 public:
  explicit UrlInHand(HostScheduler& scheduler) : scheduler_(scheduler) {}
  ~UrlInHand() { scheduler_.urlDone(); }
  UrlInHand(const UrlInHand&) = delete;
  UrlInHand& operator=(const UrlInHand&) = delete;

 private:
  HostScheduler& scheduler_;
};

// The header block of a retried hop's first answer goes ahead of its second, as the blocks of a
// HEAD asked again with GET do, within the cap of one hop's headers.
void keepFirstAnswer(HopRecord& hop, std::string_view firstAnswer) {
  if (firstAnswer.empty() || firstAnswer.size() + hop.rawHeaders.size() > kMaxRawHeaderBytes) return;
  hop.rawHeaders.insert(0, firstAnswer);
}

std::string speedText(int64_t responses, int64_t elapsedMs) {
  // Less than a millisecond counts as one, so the first figure is never a division by zero.
  const float seconds = static_cast<float>(std::max<int64_t>(elapsedMs, 1)) / 1000.0f;
  const float speed = static_cast<float>(responses) / seconds;
  return "Speed: " + std::to_string(std::lround(speed)) + " Responses per Second";
}

}  // namespace

Crawl::Crawl(const CurlApi& curl, UrlInput& input, UserInterface& ui) : curl_(curl), input_(input), ui_(ui) {}

Crawl::~Crawl() {
  stop();
  wait();
}

void Crawl::start(CrawlRequest request) {
  assert(owner_.isCurrent());
  wait();
  end_ = CrawlEnd::NotStarted;
  running_.set();  // before the thread runs: a stop() right after start() is not lost
  {
    std::lock_guard lock(activeMutex_);
    active_ = true;
  }
  controller_ = std::thread([this, request = std::move(request)]() mutable {
    const AlternateSignalStack signalStack;
    takeThreadRole(ThreadRole::Controller);
    control(std::move(request));
    std::lock_guard lock(activeMutex_);
    active_ = false;
    controllerEnded_.notify_all();
  });
}

void Crawl::stop() {
  running_.clear();
  scheduler_.interrupt();
  if (!exiting_) ui_.setStatusField(kThreadsField, "");
}

void Crawl::wait() {
  assert(owner_.isCurrent());
  if (controller_.joinable()) controller_.join();
}

bool Crawl::waitFor(std::chrono::milliseconds timeout) {
  assert(owner_.isCurrent());
  std::unique_lock lock(activeMutex_);
  return controllerEnded_.wait_for(lock, timeout, [this] { return !active_; });
}

bool Crawl::isActive() const {
  std::lock_guard lock(activeMutex_);
  return active_;
}

int64_t Crawl::urlsChecked() const { return urls_; }

int64_t Crawl::responsesReceived() const { return responses_; }

void Crawl::show(std::string_view title, std::string_view text) {
  if (!exiting_) ui_.showMessage(title, text);
}

void Crawl::endEarly() {
  running_.clear();
  sink_.reset();
  input_.close();
  if (!exiting_) ui_.setBusy(false);
}

void Crawl::control(CrawlRequest request) {
  assert(onThread(ThreadRole::Controller));
  fatal_.clear();
  urls_ = 0;
  responses_ = 0;
  skipped_ = 0;
  listDone_ = 0;
  otherShards_ = 0;
  listTotal_ = -1;
  startMs_ = monotonicMs();
  const int threads = std::clamp(request.threads, 1, kMaxWorkers);
  sink_ = std::move(request.sink);
  workerView_ = request.workerView;
  if (workerView_) {
    std::lock_guard lock(workerViewMutex_);
    currentUrls_.assign(static_cast<size_t>(threads) + 1, std::string());
  }
  if (!exiting_) ui_.setStatusField(kThreadsField, "Threads: " + std::to_string(threads));

  const OpenOutcome opened = openInput(request);
  if (opened.message) show(opened.message->title, opened.message->text);
  if (!opened.opened) {
    if (opened.stopped) {
      end_ = CrawlEnd::Aborted;
      show(kAbortedTitle, kAbortedMessage);
    }
    return endEarly();
  }
  if (!sink_->begin() || !makeHopRows(threads)) {
    fatal_.raise(std::string(kErrorTitle), std::string(kNotEnoughMemoryMessage), kOutOfMemory);
    show(kErrorTitle, kOutOfMemoryMessage);
    end_ = CrawlEnd::Failed;
    return endEarly();
  }
  const Settings& settings = request.settings;
  const HostLimits limits{static_cast<int>(settings.MaxPerHost), std::chrono::milliseconds(settings.HostDelayMs)};
  retryAfterLimit_ = std::chrono::seconds(settings.RetryAfterLimitSeconds);
  paced_ = limits.maxPerHost > 0 || limits.delay.count() > 0 || retryAfterLimit_.count() > 0;
  if (paced_) scheduler_.reset(limits, kMaxUrlsSetAside);
  const auto share = CurlShare::create(curl_, settings.CookiesDisabled == CookiesChoice::Enabled);
  if (!share) {
    show(kErrorTitle, kCannotInitializeCurlMessage);
    end_ = CrawlEnd::Failed;
    return endEarly();
  }

  RequestContext context;
  context.curl = &curl_;
  context.settings = &settings;
  context.getDomains.rebuild(settings.GETDomains);
  context.share = share->handle();
  context.connection = std::move(request.connection);
  context.running = &running_;
  QueueLink queueLink;
  if (settings.CheckLinksInHeaders && sink_->keepsOneChainPerUrl()) {
    queueLink = [this](const std::string& url) { input_.queuePending(url); };
    sink_->forEachUnfollowedLink([this](std::string_view url) { input_.queuePending(url); });
  }
  context.analyseHeaders = [queueLink](HopRecord& hop) { analyseHeaders(hop, queueLink); };

  std::vector<std::thread> workers;
  workers.reserve(static_cast<size_t>(threads));
  bool threadsFailed = false;
  for (int worker = 1; worker <= threads; ++worker) {
    try {
      {
        std::lock_guard lock(workersMutex_);
        ++workersRunning_;
      }
      workers.emplace_back([this, worker, &context] {
        const AlternateSignalStack signalStack;
        takeThreadRole(ThreadRole::Worker);
        work(worker, context);
        workerEnded();
      });
    } catch (const std::system_error&) {
      workerEnded();
      // The workers already started stop at their next check; the crawl ends as failed.
      threadsFailed = true;
      show(kErrorTitle, kCannotCreateThreadsMessage);
      running_.clear();
      break;
    }
  }
  waitForWorkers(workers);
  sink_->finish(fatal_);

  const FatalError fatal = fatal_.get();
  if (fatal.code != kNoFatalError) {
    end_ = CrawlEnd::Failed;
    show(fatal.title, fatal.message);
  } else if (running_.isSet()) {
    end_ = CrawlEnd::Finished;
    show(kFinishedTitle, kFinishedMessage);
  } else {
    end_ = threadsFailed ? CrawlEnd::Failed : CrawlEnd::Aborted;
    show(kAbortedTitle, kAbortedMessage);
  }
  // The worker view's counters meant nothing once its rows are gone.
  if (workerView_ && !exiting_) {
    for (int field = kFilteredUrlsField; field <= kThreadsField; ++field) ui_.setStatusField(field, "");
  }
  sink_.reset();
  input_.close();
  running_.clear();
  if (!exiting_) ui_.setBusy(false);
}

OpenOutcome Crawl::openInput(CrawlRequest& request) {
  // Sitemaps named by URL are fetched here, before any worker starts; the status bar says which.
  const auto showReading = [this](std::string_view text) {
    if (!exiting_) ui_.setStatusField(kUrlsField, text);
  };
  HttpDocumentFetcher fetcher(curl_, request.settings, request.connection, running_, showReading);
  OpenOutcome opened = input_.open(request.inputFile, std::move(request.manualText), &fetcher);
  if (fetcher.showedProgress()) showReading({});
  if (opened.opened) listTotal_ = input_.listUrlCount();
  return opened;
}

bool Crawl::makeHopRows(int threads) {
  // Rows for this crawl's workers only: the 200 a crawl may have took longer to set up than a
  // thousand URLs take to check. The workers of the last crawl have ended.
  const auto rows = static_cast<size_t>(threads) + 1;
  if (hopRows_ >= rows) return true;
  try {
    hopTable_.reset(new std::array<HopRecord, kHopsPerChain>[rows]);
  } catch (const std::bad_alloc&) {
    hopTable_.reset();
    hopRows_ = 0;
    return false;
  }
  hopRows_ = rows;
  return true;
}

void Crawl::work(int worker, const RequestContext& context) {
  WorkerConnection connection(context);
  if (!connection.setUp()) {
    fatal_.raise(std::string(kNoCurlHandleTitle), std::string(kNoCurlHandleMessage), kNoCurlHandle);
    stop();
    return;
  }
  HopRow hops(hopTable_[static_cast<size_t>(worker)]);
  PackedChain packed;
  if (paced_) return workPaced(worker, connection, hops, packed);
  // Read into the first hop's URL, in its room: the last URL's claim has ended by then.
  std::string& url = hops[0].url;
  while (running_.isSet()) {
    const UrlOrigin origin = input_.next(url);
    if (origin == UrlOrigin::None) break;
    const bool listed = origin == UrlOrigin::List;
    const CountWhenDone counted(listed ? &listDone_ : nullptr);
    if (!takeUp(worker, url, listed) || !sink_->claim(url, packed)) continue;
    handOver(hops, checkUrlChain(connection, hops, running_), packed);
  }
}

bool Crawl::takeUp(int worker, std::string& url, bool listed) {
  // Expanded as read, queued only once its shard is known.
  std::vector<std::string> expanded;
  if (listed && stages_.expand) expanded = stages_.expand(url);
  // A rewrite that leaves nothing skips that URL; only the input running dry ends the worker.
  if (stages_.rewrite) url = stages_.rewrite(std::move(url));
  if (listed && stages_.admit && !stages_.admit(url)) {
    ++otherShards_;
    return false;
  }
  for (const std::string& more : expanded) input_.queuePending(more);
  if (!isHttpUrl(url)) {
    ++skipped_;
    return false;
  }
  if (workerView_) showCurrentUrl(worker, url);
  return true;
}

void Crawl::workPaced(int worker, WorkerConnection& connection, HopRow hops, PackedChain& packed) {
  WorkerTurns turns(scheduler_, running_, retryAfterLimit_);
  std::string& url = hops[0].url;
  std::string host;
  while (running_.isSet()) {
    // Set-aside URLs whose time has come go first.
    if (auto waiting = scheduler_.takeReady(host)) {
      const UrlInHand inHand(scheduler_);
      checkSetAside(worker, connection, hops, packed, turns, std::move(host), std::move(*waiting));
      continue;
    }
    const UrlOrigin origin = input_.next(url);
    if (origin == UrlOrigin::None) {
      if (!scheduler_.awaitMore(running_)) break;
      continue;
    }
    scheduler_.urlTaken();
    const UrlInHand inHand(scheduler_);
    const bool listed = origin == UrlOrigin::List;
    CountWhenDone counted(listed ? &listDone_ : nullptr);
    if (!takeUp(worker, url, listed) || !sink_->claim(url, packed)) continue;
    host = hostOf(url);
    if (!scheduler_.tryEnter(host)) {
      // Its host is full or not due yet: another URL meanwhile, unless too many wait already.
      if (scheduler_.setAside(host, SetAsideUrl{url, listed, {}})) {
        sink_->release(url, packed);
        counted.setAside();
        continue;
      }
      if (!scheduler_.enter(host, running_)) {
        sink_->release(url, packed);
        continue;
      }
    }
    if (!checkPacedChain(connection, hops, packed, turns, std::move(host), 0, {}, listed)) counted.setAside();
  }
}

void Crawl::checkSetAside(int worker, WorkerConnection& connection, HopRow hops, PackedChain& packed,
                          WorkerTurns& turns, std::string host, SetAsideUrl waiting) {
  CountWhenDone counted(waiting.listed ? &listDone_ : nullptr);
  int from = 0;
  std::string firstAnswer;
  if (waiting.chain.empty()) {
    hops[0].url = std::move(waiting.url);
  } else {
    from = static_cast<int>(waiting.chain.size()) - 1;
    firstAnswer = std::move(waiting.chain.back().rawHeaders);
    std::move(waiting.chain.begin(), waiting.chain.end(), hops.begin());
  }
  if (workerView_) showCurrentUrl(worker, hops[0].url);
  // Listed twice, the other has been checked or is being checked meanwhile.
  if (!sink_->claim(hops[0].url, packed)) {
    scheduler_.leave(host);
    return;
  }
  if (!checkPacedChain(connection, hops, packed, turns, std::move(host), from, firstAnswer, waiting.listed)) {
    counted.setAside();
  }
}

bool Crawl::checkPacedChain(WorkerConnection& connection, HopRow hops, PackedChain& packed, WorkerTurns& turns,
                            std::string host, int from, std::string_view firstAnswer, bool listed) {
  turns.beginChain(std::move(host), !firstAnswer.empty());
  const ChainOutcome end = checkUrlChain(connection, hops, running_, &turns, from);
  if (end.kind != ChainOutcome::Kind::Stopped) keepFirstAnswer(hops[from], firstAnswer);
  if (end.kind != ChainOutcome::Kind::AskAgainLater) {
    handOver(hops, end, packed);
    return true;
  }
  SetAsideUrl later{hops[0].url, listed, std::vector<HopRecord>(hops.begin(), hops.begin() + end.hop + 1)};
  sink_->release(hops[0].url, packed);
  scheduler_.setAside(turns.host(), std::move(later));  // a retry is always kept
  return false;
}

void Crawl::handOver(HopRow hops, ChainOutcome end, PackedChain& packed) {
  assert(onThread(ThreadRole::Worker));
  if (end.kind != ChainOutcome::Kind::Done) {
    sink_->release(hops[0].url, packed);  // the crawl was stopped during the chain: nothing of it is kept
    return;
  }
  const int redirects = end.hop;
  // The verdict reads only this worker's hops and rules nothing changes during the crawl, so the
  // workers judge their chains side by side rather than one at a time under a lock.
  if (stages_.evaluate) stages_.evaluate(hops, redirects);
  if (!sink_->take(hops.first(static_cast<size_t>(redirects) + 1), packed, fatal_)) {  // ends the claim
    stop();
    return;
  }
  urls_.fetch_add(1, std::memory_order_relaxed);
  responses_.fetch_add(redirects + 1, std::memory_order_relaxed);
  if (exiting_) return;
  if (resultsChanged_) resultsChanged_();
}

void Crawl::showCurrentUrl(int worker, const std::string& url) {
  std::lock_guard lock(workerViewMutex_);
  currentUrls_[static_cast<size_t>(worker)] = url;
  workerViewChanged_ = true;
}

std::string Crawl::currentUrl(int worker) const {
  std::lock_guard lock(workerViewMutex_);
  return worker >= 0 && static_cast<size_t>(worker) < currentUrls_.size() ? currentUrls_[static_cast<size_t>(worker)]
                                                                          : std::string();
}

void Crawl::workerEnded() {
  std::lock_guard lock(workersMutex_);
  --workersRunning_;
  workersEnded_.notify_all();
}

void Crawl::waitForWorkers(std::vector<std::thread>& workers) {
  assert(onThread(ThreadRole::Controller));
  constexpr auto kInterval = std::chrono::milliseconds(250);
  int64_t shownUrls = 0, shownResponses = 0;
  const auto showChanges = [&] {
    const int64_t urls = urlsChecked(), responses = responsesReceived();
    if (exiting_ || (urls == shownUrls && responses == shownResponses)) return;
    showProgress(urls, responses);
    shownUrls = urls;
    shownResponses = responses;
  };
  {
    std::unique_lock lock(workersMutex_);
    while (!workersEnded_.wait_for(lock, kInterval, [this] { return workersRunning_ == 0; })) {
      lock.unlock();
      showChanges();
      lock.lock();
    }
  }
  for (std::thread& worker : workers) worker.join();
  showChanges();
}

void Crawl::showProgress(int64_t urls, int64_t responses) {
  ui_.setStatusField(kUrlsField, "URLs: " + std::to_string(urls));
  ui_.setStatusField(kResponsesField, "Responses: " + std::to_string(responses));
  ui_.setStatusField(kSpeedField, speedText(responses, monotonicMs() - startMs_));
}

}  // namespace tallyvane
