#pragma once
// The working record of one request (one hop of a redirect chain). The engine fills it; the
// result store copies the hops it keeps; the results-file loader fills the same record from disk.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tallyvane {

inline constexpr int kMaxLinksPerResponse = 30;
inline constexpr int kMaxRedirects = 10;
inline constexpr int kHopsPerChain = kMaxRedirects + 1;

enum ChainKind : int64_t {
  kChainPlain = 0,  // no redirect or exactly one
  kChainLoop = 1,
  kChainRedirects = 2,
  kChainMaxRedirects = 3,
  kChainFailed = 4,
};

struct LinkEntry {
  std::string link;
  std::string rel;
  std::string hreflang;
};

struct HopRecord {
  std::string url;
  std::string redirectTarget;
  std::string contentType;
  std::string xRobotsTag;
  std::string vary;
  std::string rawHeaders;
  std::string statusText;
  int64_t linkCount = 0;
  // Entries 0 to linkCount - 1 are this response's links. Grown as links come, at most
  // kMaxLinksPerResponse, and kept with their room for the next response: most responses have
  // none, and a row of hops is made for every worker.
  std::vector<LinkEntry> links;
  int64_t statusCode = 0;
  int64_t size = -1;
  int64_t responseTime = -1;
  int64_t kind = kChainPlain;  // on hop 0 also the chain kind
  std::string testNote;
  uint8_t testPassed = 1;

  // Empties every field but the URL, as before a request. Keeps string capacity for reuse.
  void resetResponse();
  // The entry of one more link, empty. The caller keeps linkCount below kMaxLinksPerResponse.
  LinkEntry& addLink();
  // How many links a copy of this response keeps: linkCount, within the entries there are.
  size_t linksToKeep() const {
    const auto count = static_cast<size_t>(std::clamp<int64_t>(linkCount, 0, kMaxLinksPerResponse));
    return std::min(count, links.size());
  }

  bool isRedirect() const { return statusCode >= 300 && statusCode <= 399; }
};

}  // namespace tallyvane
