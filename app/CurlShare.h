#pragma once
// The libcurl share object of one crawl: cookies (when enabled), the DNS cache and TLS sessions
// shared by every worker, all behind one process-wide recursive mutex.

#include <memory>
#include <string_view>

#include "engine/CurlHandles.h"

namespace tallyvane {

inline constexpr std::string_view kCannotInitializeCurlMessage = "Cannot initialize libcurl";

class CurlShare {
 public:
  // Nothing when curl_share_init fails.
  static std::unique_ptr<CurlShare> create(const CurlApi& curl, bool shareCookies);
  CurlShare(const CurlShare&) = delete;
  CurlShare& operator=(const CurlShare&) = delete;

  // Every easy handle must have detached itself before the share object is destroyed.
  CURLSH* handle() const { return handle_.get(); }

 private:
  explicit CurlShare(CurlShareHandle handle) : handle_(std::move(handle)) {}
  CurlShareHandle handle_;
};

}  // namespace tallyvane
