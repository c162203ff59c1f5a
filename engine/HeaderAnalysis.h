#pragma once
// Reads the X-Robots-Tag, Vary and Link headers of a successful hop from its raw header block.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "results/HopRecord.h"

namespace tallyvane {

// Receives each link other than the hop's own URL, when links are to be checked too.
using QueueLink = std::function<void(const std::string& url)>;

void analyseHeaders(HopRecord& hop, const QueueLink& queueLink);

// The headers analyseHeaders() reads, by their names in lower case.
inline constexpr std::array<std::string_view, 3> kAnalysedHeaderNames = {"vary", "x-robots-tag", "link"};

// Whether a line starts with "name:" for one of those names, in any case.
bool startsWithAnalysedHeaderName(std::string_view line);

// The letters the names start with, in either case.
inline constexpr std::array<bool, 256> kAnalysedHeaderInitials = [] {
  std::array<bool, 256> initials{};
  for (const std::string_view name : kAnalysedHeaderNames) {
    initials[static_cast<unsigned char>(name[0])] = true;
    initials[static_cast<unsigned char>(name[0] - 'a' + 'A')] = true;
  }
  return initials;
}();

// Whether a header line is one analyseHeaders() reads. A block without any such line leaves the
// fields it fills as they were reset, so most hops need no analysis at all. Every header line of
// every hop comes here: inline, so that the first letter turns most away without a call.
inline bool isAnalysedHeaderLine(std::string_view line) {
  return !line.empty() && kAnalysedHeaderInitials[static_cast<unsigned char>(line[0])] && startsWithAnalysedHeaderName(line);
}

// The entries of one Link header value, added to the hop (at most 30 in all).
void parseLinks(std::string_view value, HopRecord& hop, const QueueLink& queueLink);

}  // namespace tallyvane
