#pragma once
// One crawl: a controller thread that opens the input and starts 1 to 200 workers, each with its
// own libcurl handle, following every URL's redirect chain and handing it to the result store.
//
// Threads: start(), stop() and wait() are called by the user-interface thread (stop() from any
// thread). Workers call the UserInterface port for progress; the controller for the final message.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/HostScheduler.h"
#include "app/ResultSink.h"
#include "app/UserInterface.h"
#include "base/ThreadAffinity.h"
#include "config/Settings.h"
#include "engine/CurlApi.h"
#include "engine/RedirectChain.h"
#include "engine/RunningFlag.h"
#include "input/UrlInput.h"
#include "results/FatalErrorSlot.h"

namespace tallyvane {

class WorkerTurns;

inline constexpr int kMaxWorkers = 200;

inline constexpr std::string_view kFinishedTitle = "Success";
inline constexpr std::string_view kFinishedMessage = "Tallyvane has finished checking all URLs";
inline constexpr std::string_view kAbortedTitle = "Aborted";
inline constexpr std::string_view kAbortedMessage = "Tallyvane has aborted checking URLs";
inline constexpr std::string_view kOutOfMemoryMessage = "Out of Memory. Operation Aborted.";
inline constexpr std::string_view kCannotCreateThreadsMessage = "Cannot create crawling threads";

struct CrawlRequest {
  std::string inputFile;   // when empty, manualText is the input
  std::string manualText;  // lines separated by CR LF
  int threads = 30;        // 1 to 200
  // As they stand when the crawl starts, with the run's own overrides; the workers read this copy.
  Settings settings;
  ConnectionOptions connection;
  std::shared_ptr<ResultSink> sink;  // where the finished chains go
  bool workerView = false;           // keeps the URL each worker checks, for the low-memory view
};

enum class CrawlEnd { NotStarted, Finished, Aborted, Failed };

// Where later stages plug into every URL: more URLs to check after one read from the list, rewriting
// before it is checked, and the test evaluation of a finished chain (on its worker, before the
// hand-over). Empty means none / identity.
struct CrawlStages {
  // Only URLs read from the list are expanded: what comes back through the queue is not again.
  std::function<std::vector<std::string>(std::string_view url)> expand;
  std::function<std::string(std::string url)> rewrite;
  std::function<void(HopRow hops, int redirectCount)> evaluate;
  // Whether a URL read from the list (rewritten) is this run's to check: its shard. A URL left out
  // is not expanded either; what comes back through the queue belongs to the URL that queued it.
  std::function<bool(std::string_view url)> admit;
};

class Crawl {
 public:
  Crawl(const CurlApi& curl, UrlInput& input, UserInterface& ui);
  ~Crawl();
  Crawl(const Crawl&) = delete;
  Crawl& operator=(const Crawl&) = delete;

  void setStages(CrawlStages stages) { stages_ = std::move(stages); }
  // Called on the worker thread after each stored URL, so the list can refresh its row count and
  // its "Filtered URLs: " text.
  void setResultsChanged(std::function<void()> changed) { resultsChanged_ = std::move(changed); }

  // Starts the controller thread; the caller has made the user interface busy and cleared the
  // store.
  void start(CrawlRequest request);
  // Abort: every worker stops at its next check of the running flag; transfers end at once.
  void stop();
  // Waits for the controller to end.
  void wait();
  // Waits at most timeout; true when the controller has ended (or never started).
  bool waitFor(std::chrono::milliseconds timeout);
  // True from start() until the controller has ended, even after stop().
  bool isActive() const;
  // Set when the program quits during the crawl: no more messages or interface updates.
  void setExiting() { exiting_ = true; }

  CrawlEnd end() const { return end_; }
  // The worker view of low-memory mode: the URL each worker (1 to the thread count) checks now.
  std::string currentUrl(int worker) const;
  // True once after any worker's current URL changed, for the view's next redraw.
  bool takeWorkerViewChange() { return workerViewChanged_.exchange(false); }
  int64_t urlsChecked() const;
  int64_t responsesReceived() const;
  // Lines of the input that were neither http:// nor https:// URLs.
  int64_t linesSkipped() const { return skipped_; }
  // URLs of the list itself (not queued ones) that the workers are done with, whatever became
  // of them: checked, skipped or found twice. The progress through the list.
  int64_t listUrlsDone() const { return listDone_; }
  // The URLs of the list when its input knew them on opening (a sitemap, read whole); else -1.
  int64_t listTotal() const { return listTotal_; }
  // Lines of the list left to the other shards.
  int64_t urlsOfOtherShards() const { return otherShards_; }

 private:
  void control(CrawlRequest request);
  OpenOutcome openInput(CrawlRequest& request);
  // False when memory is short.
  bool makeHopRows(int threads);
  void work(int worker, const RequestContext& context);
  // Expands, rewrites and admits a URL read from the input; false when it is not this run's to
  // check or no web address.
  bool takeUp(int worker, std::string& url, bool listed);
  // The worker's loop when hosts are paced: each request waits for its host's turn, and a URL
  // that cannot have it yet is set aside while the worker takes another.
  void workPaced(int worker, WorkerConnection& connection, HopRow hops, PackedChain& packed);
  // A set-aside URL whose host's turn the scheduler has taken for it.
  void checkSetAside(int worker, WorkerConnection& connection, HopRow hops, PackedChain& packed, WorkerTurns& turns,
                     std::string host, SetAsideUrl waiting);
  // The chain of a claimed URL from hop `from` on, its first request's turn taken at host. A hop
  // to ask again later sets the URL aside, its claim ended: then false, as the URL is not done.
  // firstAnswer is the header block of a retried hop's first answer, kept ahead of its second.
  bool checkPacedChain(WorkerConnection& connection, HopRow hops, PackedChain& packed, WorkerTurns& turns,
                       std::string host, int from, std::string_view firstAnswer, bool listed);
  // Stores a completed chain, which ends the worker's claim on its URL, and counts it; a chain cut
  // short by a stop only ends the claim. packed is the worker's room for its header blocks, packed
  // before any lock is taken.
  void handOver(HopRow hops, ChainOutcome end, PackedChain& packed);
  void showCurrentUrl(int worker, const std::string& url);
  void showProgress(int64_t urls, int64_t responses);
  // Waits for the workers to end, showing their progress four times a second meanwhile: the
  // workers only count, as forming the texts for every URL cost more than storing it.
  void waitForWorkers(std::vector<std::thread>& workers);
  void workerEnded();
  void show(std::string_view title, std::string_view text);
  void endEarly();

  const CurlApi& curl_;
  const ThreadOwner owner_;  // the thread that starts and waits
  UrlInput& input_;
  UserInterface& ui_;
  RunningFlag running_;
  HostScheduler scheduler_;
  bool paced_ = false;  // any host limit or Retry-After honoured: the workers go through scheduler_
  std::chrono::seconds retryAfterLimit_{0};
  CrawlStages stages_;
  std::function<void()> resultsChanged_;
  std::atomic<bool> exiting_{false};

  // Reused by every later crawl with as many workers or fewer: row = worker number, one per worker.
  std::unique_ptr<std::array<HopRecord, kHopsPerChain>[]> hopTable_;
  size_t hopRows_ = 0;
  std::thread controller_;
  mutable std::mutex activeMutex_;
  std::condition_variable controllerEnded_;
  bool active_ = false;
  FatalErrorSlot fatal_;
  std::atomic<int64_t> urls_{0};
  std::atomic<int64_t> responses_{0};
  std::atomic<int64_t> skipped_{0};
  std::atomic<int64_t> listDone_{0};
  std::atomic<int64_t> otherShards_{0};
  std::atomic<int64_t> listTotal_{-1};
  int64_t startMs_ = 0;
  std::mutex workersMutex_;
  std::condition_variable workersEnded_;
  size_t workersRunning_ = 0;
  std::shared_ptr<ResultSink> sink_;  // the current crawl's
  bool workerView_ = false;
  mutable std::mutex workerViewMutex_;
  std::vector<std::string> currentUrls_;
  std::atomic<bool> workerViewChanged_{false};
  CrawlEnd end_ = CrawlEnd::NotStarted;
};

}  // namespace tallyvane
