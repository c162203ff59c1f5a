#include "app/WorkerTurns.h"

#include "engine/RetryAfter.h"
#include "input/UrlParts.h"

namespace tallyvane {

bool WorkerTurns::enter(std::string_view url) {
  retried_ = false;
  // A hop that is no web address fails without a request: no host to wait for.
  holding_ = isHttpUrl(url);
  if (!holding_) return true;
  host_ = hostOf(url);
  holding_ = scheduler_.enter(host_, running_);
  return holding_;
}

bool WorkerTurns::leave(const HopRecord& hop) {
  if (!holding_) return false;
  holding_ = false;
  bool askAgain = false;
  if (retryAfterLimit_.count() > 0 && (hop.statusCode == 429 || hop.statusCode == 503)) {
    const auto wait = retryAfterOf(hop.rawHeaders, std::chrono::system_clock::now());
    if (wait && *wait <= retryAfterLimit_) {
      // Paused before the turn ends, so no other request slips in.
      scheduler_.pause(host_, *wait);
      askAgain = !retried_;
    }
  }
  scheduler_.leave(host_);
  return askAgain;
}

}  // namespace tallyvane
