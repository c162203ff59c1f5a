#pragma once
// Hop chains built by hand, for store, report and results-file tests.

#include <algorithm>
#include <string>
#include <vector>

#include "results/HopRecord.h"

namespace tallyvane::testing {

// Hop k answers codes[k]; the URL of hop k > 0 is url + "/k".
inline std::vector<HopRecord> chainOf(const std::string& url, std::vector<int64_t> codes, int64_t kind = kChainPlain,
                                      int64_t timeEach = 10) {
  std::vector<HopRecord> hops(std::max<size_t>(codes.size(), 1));
  for (size_t k = 0; k < codes.size(); ++k) {
    hops[k].url = k == 0 ? url : url + "/" + std::to_string(k);
    hops[k].statusCode = codes[k];
    hops[k].responseTime = timeEach;
  }
  hops[0].kind = kind;
  return hops;
}

}  // namespace tallyvane::testing
