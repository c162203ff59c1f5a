#include "input/MappingTest.h"

namespace tallyvane {

TestVerdict evaluateMapping(const ChainOutline& chain, const MappingTable& table) {
  if (auto early = earlyVerdict(chain.end)) return *early;
  const int h = chain.redirects();
  const OutlineHop& start = chain.hops.front();
  const OutlineHop& final = chain.hops.back();
  VerdictBuilder verdict;
  if (h == 0) verdict.fail("[not redirected]");
  if (h > 1) verdict.fail("[redirect chain]");
  const auto expected = table.expectedTarget(start.url);
  if (expected && final.url != *expected) verdict.fail("[bad final url]");
  if (h > 0 && final.statusCode != 200) verdict.fail("[non-200 final url status]");
  if (!expected) verdict.fail("[no redirect rule]");
  if (h == 1 && start.statusCode != 301) verdict.fail("[non-301 redirect]");
  return verdict.finish();
}

}  // namespace tallyvane
