#include "app/CurlShare.h"

#include <array>
#include <mutex>

namespace tallyvane {
namespace {

// One lock per kind of shared data, so a worker reading the DNS cache does not wait for one
// storing a TLS session.
std::recursive_mutex& shareLock(curl_lock_data data) {
  static std::array<std::recursive_mutex, CURL_LOCK_DATA_LAST> locks;
  return locks[data >= 0 && data < CURL_LOCK_DATA_LAST ? data : 0];
}

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) { shareLock(data).lock(); }
void unlockShare(CURL*, curl_lock_data data, void*) { shareLock(data).unlock(); }

}  // namespace

std::unique_ptr<CurlShare> CurlShare::create(const CurlApi& curl, bool shareCookies) {
  CurlShareHandle owned(curl.share_init(), CurlShareCleanup{&curl});
  if (!owned) return nullptr;
  CURLSH* handle = owned.get();
  if (shareCookies) curl.share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  curl.share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl.share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  curl.share_setopt(handle, CURLSHOPT_LOCKFUNC, &lockShare);
  curl.share_setopt(handle, CURLSHOPT_UNLOCKFUNC, &unlockShare);
  return std::unique_ptr<CurlShare>(new CurlShare(std::move(owned)));
}

}  // namespace tallyvane
