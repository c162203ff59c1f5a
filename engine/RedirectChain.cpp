#include "engine/RedirectChain.h"

#include <string>

namespace tallyvane {
namespace {

void appendNote(std::string& statusText, std::string_view note) {
  if (!statusText.empty()) statusText.append(", ");
  statusText.append(note);
}

bool loopsBack(HopRow hops, int h) {
  for (int j = h - 1; j >= 0; --j) {
    if (hops[j].url == hops[h].url) return true;
  }
  return false;
}

}  // namespace

ChainOutcome checkUrlChain(WorkerConnection& connection, HopRow hops, const RunningFlag& running, HostTurns* turns,
                       int from) {
  constexpr ChainOutcome kStopped{ChainOutcome::Kind::Stopped, 0};
  int h = from;
  for (;;) {
    if (!running.isSet()) return kStopped;
    if (turns != nullptr && h != from && !turns->enter(hops[h].url)) return kStopped;
    connection.performHop(hops[h]);
    const bool askAgain = turns != nullptr && turns->leave(hops[h]);
    if (!running.isSet()) return kStopped;
    if (askAgain) return {ChainOutcome::Kind::AskAgainLater, h};
    if (!hops[h].isRedirect()) return {ChainOutcome::Kind::Done, h};

    ++h;
    hops[h].url = hops[h - 1].redirectTarget;
    if (h == kMaxRedirects) {
      // The limit is tested before the loop rule: hop 10 is recorded, never requested.
      hops[h].resetResponse();
      hops[0].kind = kChainMaxRedirects;
      appendNote(hops[0].statusText, kMaxRedirectsText);
      return {ChainOutcome::Kind::Done, h};
    }
    if (loopsBack(hops, h)) {
      hops[0].kind = kChainLoop;
      for (int j = 0; j < h; ++j) appendNote(hops[j].statusText, kRedirectLoopText);
      hops[h].resetResponse();
      return {ChainOutcome::Kind::Done, h};
    }
    if (h >= 2) hops[0].kind = kChainRedirects;
  }
}

}  // namespace tallyvane
