#pragma once
// Everything a worker's requests read, fixed before a crawl starts and not changed during it.

#include <functional>
#include <string>

#include "config/Settings.h"
#include "engine/CurlApi.h"
#include "engine/GetDomainList.h"
#include "engine/RunningFlag.h"
#include "results/HopRecord.h"

namespace tallyvane {

struct RequestContext {
  const CurlApi* curl = nullptr;
  const Settings* settings = nullptr;
  GetDomainList getDomains;
  CURLSH* share = nullptr;
  RunningFlag* running = nullptr;  // cleared to stop every transfer in progress
  // Runs on the worker thread after every successful hop; empty means no header analysis.
  std::function<void(HopRecord&)> analyseHeaders;
};

}  // namespace tallyvane
