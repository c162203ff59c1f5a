#pragma once
// Politeness towards each host of a crawl: at most N requests in flight to one host, a least time
// between the starts of two requests to it, and a pause when it answers with Retry-After. A host is
// a hop's scheme, host and port. A turn is taken for one request and left after it, never held
// across the hops of a chain, so chains crossing hosts cannot deadlock.
//
// URLs that cannot have their host's turn yet are set aside here (a URL whose host is full, a hop
// to ask again after Retry-After) so workers take other URLs meanwhile. Workers call everything
// side by side; the waits wake on interrupt() (an abort) at once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/RunningFlag.h"
#include "results/HopRecord.h"

namespace tallyvane {

struct HostLimits {
  int maxPerHost = 0;                  // requests in flight to one host; 0: no limit
  std::chrono::milliseconds delay{0};  // between the starts of two requests to one host
};

// A URL waiting for its host's turn.
struct SetAsideUrl {
  std::string url;
  bool listed = false;  // read from the list itself, not from the queue
  // For a hop to ask again: the chain up to it, that hop's first answer last. Empty for a URL
  // not yet begun.
  std::vector<HopRecord> chain;
};

// "scheme://host:port" of an http or https URL, the host in lower case and the scheme's default
// port written out, so every spelling of one origin is one host.
std::string hostOf(std::string_view url);

class HostScheduler {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  explicit HostScheduler(std::function<TimePoint()> now = Clock::now) : now_(std::move(now)) {}

  // Before a crawl's workers start: forgets every host and set-aside URL. At most maxWaiting URLs
  // are set aside for a full host; a retry is always taken.
  void reset(HostLimits limits, size_t maxWaiting);

  // Takes a turn at host when it has one now.
  bool tryEnter(const std::string& host);
  // Waits for a turn at host; false when the crawl was stopped meanwhile.
  bool enter(const std::string& host, const RunningFlag& running);
  void leave(const std::string& host);
  // No request starts to host for the time given.
  void pause(const std::string& host, std::chrono::milliseconds wait);

  // Sets url aside until host has a turn. False, and nothing kept, when it waits for a full host
  // (it is not a retry) and maxWaiting URLs do already.
  bool setAside(const std::string& host, SetAsideUrl url);
  // A set-aside URL whose host has a turn now, that turn taken, its host in host. The caller
  // holds it as a URL in hand until urlDone().
  std::optional<SetAsideUrl> takeReady(std::string& host);

  // A worker took a URL from the list (a set-aside one counts from takeReady), and is done with it.
  void urlTaken();
  void urlDone();
  // When the list has run dry: waits until a set-aside URL's time may have come or another
  // worker is done with a URL (which may have queued more). False when no URL is set aside and
  // no worker holds one, which ends the crawl, or when it was stopped.
  bool awaitMore(const RunningFlag& running);
  // The crawl was stopped: every wait ends.
  void interrupt();

  size_t setAsideCount() const;

 private:
  struct Host {
    int inFlight = 0;
    TimePoint nextStart{};
    std::deque<SetAsideUrl> waiting;
  };
  bool hasTurn(const Host& host, TimePoint now) const;
  void takeTurn(Host& host, TimePoint now);
  // When host could next start a request, judged by time alone; nothing while it is full.
  std::optional<TimePoint> nextChance(const Host& host) const;
  // Drops hosts that no longer hold anything back, once their number has doubled.
  void sweep(TimePoint now);

  const std::function<TimePoint()> now_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  HostLimits limits_;
  size_t maxWaiting_ = 0;
  std::unordered_map<std::string, Host> hosts_;
  std::vector<std::string> waitingHosts_;  // the hosts with set-aside URLs
  size_t nextWaitingHost_ = 0;             // where the next look starts, so no host is always first
  size_t waitingForTurn_ = 0;              // set-aside URLs that are not retries
  size_t setAside_ = 0;
  size_t urlsInHand_ = 0;
  uint64_t changes_ = 0;  // counts what awaitMore() wakes for
  size_t sweepAt_ = 1024;
};

}  // namespace tallyvane
