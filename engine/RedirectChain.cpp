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

std::optional<int> checkUrlChain(WorkerConnection& connection, HopRow hops, const RunningFlag& running) {
  int h = 0;
  for (;;) {
    if (!running.isSet()) return std::nullopt;
    connection.performHop(hops[h]);
    if (!running.isSet()) return std::nullopt;
    if (!hops[h].isRedirect()) return h;

    ++h;
    hops[h].url = hops[h - 1].redirectTarget;
    if (h == kMaxRedirects) {
      // The limit is tested before the loop rule: hop 10 is recorded, never requested.
      hops[h].resetResponse();
      hops[0].kind = kChainMaxRedirects;
      appendNote(hops[0].statusText, kMaxRedirectsText);
      return h;
    }
    if (loopsBack(hops, h)) {
      hops[0].kind = kChainLoop;
      for (int j = 0; j < h; ++j) appendNote(hops[j].statusText, kRedirectLoopText);
      hops[h].resetResponse();
      return h;
    }
    if (h >= 2) hops[0].kind = kChainRedirects;
  }
}

}  // namespace tallyvane
