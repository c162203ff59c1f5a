// The least a crawler can do, as the crawl benchmark's ceiling: one libcurl handle per thread
// looping curl_easy_perform with HEAD over the list, the crawl's own share handle, and each
// redirect followed as a request of its own, as the crawl follows them. Nothing is recorded.
//   bare_client THREADS LIST
// Prints the URLs and requests it made to standard error.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/CurlShare.h"
#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "bench/SilentInterface.h"
#include "config/Settings.h"
#include "engine/CurlHandles.h"

using namespace tallyvane;

namespace {

constexpr int kMaxRequests = 10;

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// Checks URLs of the list until none is left; returns the requests made.
int64_t work(const CurlApi& curl, CURLSH* share, const std::vector<std::string>& urls, std::atomic<size_t>& next) {
  const CurlEasyHandle owned(curl.easy_init(), CurlEasyCleanup{&curl});
  CURL* handle = owned.get();
  curl.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(handle, CURLOPT_SHARE, share);
  curl.easy_setopt(handle, CURLOPT_NOBODY, 1L);
  curl.easy_setopt(handle, CURLOPT_WRITEFUNCTION, &discard);
  // The crawl's default User-Agent, so both send the same request bytes.
  curl.easy_setopt(handle, CURLOPT_USERAGENT, Settings{}.requestUserAgent.c_str());
  int64_t requests = 0;
  std::string url;
  for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < urls.size();) {
    url = urls[i];
    for (int hop = 0; hop < kMaxRequests; ++hop) {
      curl.easy_setopt(handle, CURLOPT_URL, url.c_str());
      ++requests;
      if (curl.easy_perform(handle) != CURLE_OK) break;
      char* target = nullptr;
      curl.easy_getinfo(handle, CURLINFO_REDIRECT_URL, &target);
      if (target == nullptr) break;
      url = target;
    }
  }
  curl.easy_setopt(handle, CURLOPT_SHARE, static_cast<CURLSH*>(nullptr));
  return requests;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc == 3 ? std::atoi(argv[1]) : 0;
  if (threads < 1 || threads > 200) {
    std::fprintf(stderr, "usage: bare_client THREADS(1-200) LIST\n");
    return 2;
  }
  std::vector<std::string> urls;
  std::ifstream list(argv[2]);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty()) urls.push_back(line);
  }
  bench::SilentInterface ui;
  const auto library = startHttpLibrary(executableDirectory(), ui);
  if (!library) return 1;
  const auto share = CurlShare::create(library->api(), false);
  if (!share) return 1;

  std::atomic<size_t> next{0};
  std::atomic<int64_t> requests{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] { requests += work(library->api(), share->handle(), urls, next); });
  }
  for (std::thread& worker : workers) worker.join();
  std::fprintf(stderr, "URLs: %zu\nRequests: %lld\n", urls.size(), static_cast<long long>(requests.load()));
  return 0;
}
