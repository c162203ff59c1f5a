#include "input/MappingTest.h"

namespace tallyvane {

TestVerdict evaluateMapping(const ChainOutline& chain, const MappingTable& table) {
  if (auto early = earlyVerdict(chain.end)) return *early;
  const int h = chain.redirects();
  const OutlineHop& start = chain.hops.front();
  const OutlineHop& final = chain.hops.back();
  VerdictBuilder verdict;
  const auto expected = table.expectedTarget(start.url);
  if (const auto status = expected ? retiredStatus(*expected) : std::nullopt) {
    if (h > 0) verdict.fail("[redirected]");
    if (start.statusCode != *status) verdict.fail("[not " + *expected + "]");
    return verdict.finish();
  }
  if (h == 0) verdict.fail("[not redirected]");
  if (h > 1) verdict.fail("[redirect chain]");
  if (expected && final.url != *expected) verdict.fail("[bad final url]");
  if (h > 0 && final.statusCode != 200) verdict.fail("[non-200 final url status]");
  if (!expected) verdict.fail("[no redirect rule]");
  if (h == 1 && start.statusCode != 301) verdict.fail("[non-301 redirect]");
  return verdict.finish();
}

}  // namespace tallyvane
