#pragma once
// One worker's turns at the hosts of its chains, taken from the crawl's HostScheduler, and the
// Retry-After rule: a hop answered 429 or 503 with a Retry-After within the limit pauses its host
// until then and is asked again once, later; a longer one, or the second answer, stands.

#include <chrono>
#include <string>

#include "app/HostScheduler.h"
#include "engine/RedirectChain.h"

namespace tallyvane {

class WorkerTurns final : public HostTurns {
 public:
  WorkerTurns(HostScheduler& scheduler, const RunningFlag& running, std::chrono::seconds retryAfterLimit)
      : scheduler_(scheduler), running_(running), retryAfterLimit_(retryAfterLimit) {}

  // The chain's first hop has the turn the crawl took at host; a retried hop is not deferred again.
  void beginChain(std::string host, bool firstHopRetried) {
    host_ = std::move(host);
    holding_ = true;
    retried_ = firstHopRetried;
  }
  // The host of the last hop entered.
  const std::string& host() const { return host_; }

  bool enter(std::string_view url) override;
  bool leave(const HopRecord& hop) override;

 private:
  HostScheduler& scheduler_;
  const RunningFlag& running_;
  const std::chrono::seconds retryAfterLimit_;  // 0: Retry-After is not honoured
  std::string host_;
  bool holding_ = false;
  bool retried_ = false;
};

}  // namespace tallyvane
