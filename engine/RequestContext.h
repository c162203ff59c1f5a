#pragma once
// Everything a worker's requests read, fixed before a crawl starts and not changed during it.

#include <functional>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "engine/CurlApi.h"
#include "engine/GetDomainList.h"
#include "engine/RunningFlag.h"
#include "results/HopRecord.h"

namespace tallyvane {

// Chosen per run, not stored in the settings.
struct ConnectionOptions {
  std::string caBundle;              // PEM file of the authorities to trust instead of the system's
  std::vector<std::string> resolve;  // HOST:PORT:ADDRESS: connect there, Host and SNI unchanged
};

struct RequestContext {
  const CurlApi* curl = nullptr;
  const Settings* settings = nullptr;
  GetDomainList getDomains;
  CURLSH* share = nullptr;
  ConnectionOptions connection;
  RunningFlag* running = nullptr;  // cleared to stop every transfer in progress
  // Runs on the worker thread after every successful hop; empty means no header analysis.
  std::function<void(HopRecord&)> analyseHeaders;
};

}  // namespace tallyvane
