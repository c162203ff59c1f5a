#pragma once
// Follows one URL through its redirects, hop by hop, on one worker's row of the hop table.

#include <span>
#include <string_view>

#include "engine/WorkerConnection.h"
#include "results/HopRecord.h"

namespace tallyvane {

inline constexpr std::string_view kRedirectLoopText = "Redirect Loop";
inline constexpr std::string_view kMaxRedirectsText = "Max Redirects Exceeded";

using HopRow = std::span<HopRecord, kHopsPerChain>;

// Where a crawl holds each request of a chain until its host's turn.
class HostTurns {
 public:
  virtual ~HostTurns() = default;
  // Before every hop but the chain's first, whose turn the caller took: waits for the turn of
  // url's host. False when the crawl was stopped meanwhile.
  virtual bool enter(std::string_view url) = 0;
  // After every requested hop, its answer in it: ends the turn. True when the hop is to be asked
  // again later (its host said when).
  virtual bool leave(const HopRecord& hop) = 0;
};

struct ChainOutcome {
  enum class Kind { Done, Stopped, AskAgainLater };
  Kind kind = Kind::Stopped;
  // Done: the redirect count (the chain is hops 0 to it). AskAgainLater: the hop to request again.
  int hop = 0;
};

// hops[0].url holds the URL, and hops before `from` the chain so far when it goes on from there.
// A stopped chain is abandoned. Without turns every hop is requested at once.
ChainOutcome checkUrlChain(WorkerConnection& connection, HopRow hops, const RunningFlag& running,
                       HostTurns* turns = nullptr, int from = 0);

}  // namespace tallyvane
