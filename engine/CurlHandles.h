#pragma once
// Owners of the libcurl objects the program holds. The deleters call through the run-time
// bound entry points, so they carry the table with them.

#include <memory>

#include "engine/CurlApi.h"

namespace tallyvane {

struct CurlEasyCleanup {
  const CurlApi* curl = nullptr;
  void operator()(CURL* handle) const { curl->easy_cleanup(handle); }
};
using CurlEasyHandle = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlStringListFree {
  const CurlApi* curl = nullptr;
  void operator()(curl_slist* list) const { curl->slist_free_all(list); }
};
using CurlStringList = std::unique_ptr<curl_slist, CurlStringListFree>;

struct CurlShareCleanup {
  const CurlApi* curl = nullptr;
  void operator()(CURLSH* handle) const { curl->share_cleanup(handle); }
};
using CurlShareHandle = std::unique_ptr<CURLSH, CurlShareCleanup>;

}  // namespace tallyvane
