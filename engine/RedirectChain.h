#pragma once
// Follows one URL through its redirects, hop by hop, on one worker's row of the hop table.

#include <optional>
#include <span>
#include <string_view>

#include "engine/WorkerConnection.h"
#include "results/HopRecord.h"

namespace tallyvane {

inline constexpr std::string_view kRedirectLoopText = "Redirect Loop";
inline constexpr std::string_view kMaxRedirectsText = "Max Redirects Exceeded";

using HopRow = std::span<HopRecord, kHopsPerChain>;

// hops[0].url holds the URL. Returns the redirect count (the chain is hops 0 to it), or
// nothing when the crawl was stopped meanwhile: the chain is then abandoned.
std::optional<int> checkUrlChain(WorkerConnection& connection, HopRow hops, const RunningFlag& running);

}  // namespace tallyvane
