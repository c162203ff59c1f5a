#include "app/CurlShare.h"

#include <mutex>

namespace tallyvane {
namespace {

std::recursive_mutex& shareLock() {
  static std::recursive_mutex lock;
  return lock;
}

void lockShare(CURL*, curl_lock_data, curl_lock_access, void*) { shareLock().lock(); }
void unlockShare(CURL*, curl_lock_data, void*) { shareLock().unlock(); }

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
