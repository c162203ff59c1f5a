#pragma once
// The libcurl share object of one crawl: cookies (when enabled), the DNS cache and TLS sessions
// shared by every worker, all behind one process-wide recursive mutex.

#include <memory>
#include <string_view>

#include "engine/CurlApi.h"

namespace tallyvane {

inline constexpr std::string_view kCannotInitializeCurlMessage = "Cannot initialize libcurl";

class CurlShare {
 public:
  // Nothing when curl_share_init fails.
  static std::unique_ptr<CurlShare> create(const CurlApi& curl, bool shareCookies);
  ~CurlShare();
  CurlShare(const CurlShare&) = delete;
  CurlShare& operator=(const CurlShare&) = delete;

  // Every easy handle must have detached itself before the share object is destroyed.
  CURLSH* handle() const { return handle_; }

 private:
  CurlShare(const CurlApi& curl, CURLSH* handle) : curl_(curl), handle_(handle) {}
  const CurlApi& curl_;
  CURLSH* handle_;
};

}  // namespace tallyvane
