#pragma once
// Reads the X-Robots-Tag, Vary and Link headers of a successful hop from its raw header block.

#include <functional>
#include <string>
#include <string_view>

#include "results/HopRecord.h"

namespace tallyvane {

// Receives each link other than the hop's own URL, when links are to be checked too.
using QueueLink = std::function<void(const std::string& url)>;

void analyseHeaders(HopRecord& hop, const QueueLink& queueLink);

// The header block of the final response: an interim 1xx answer or a proxy's CONNECT answer
// before it is not this response's.
std::string_view lastHeaderBlock(std::string_view raw);

enum class AnalysedHeader { kNone, kVary, kRobots, kLink };

// The analysed header a line is ("name:" in any case), or kNone. A block without any such line
// leaves the fields analyseHeaders() fills as they were reset, so most hops need no analysis.
AnalysedHeader analysedHeaderOf(std::string_view line);

// The entries of one Link header value, added to the hop (at most 30 in all).
void parseLinks(std::string_view value, HopRecord& hop, const QueueLink& queueLink);

}  // namespace tallyvane
