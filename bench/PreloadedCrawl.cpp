// A crawl into a store that already holds many results, beside the same crawl into an empty one:
// every URL a worker takes is looked up under the results mutex, which must not slow down as the
// store grows.
//   preloaded_crawl --preload N --threads T LIST
// Fills the store with N synthetic results, then checks LIST with the crawl's default settings
// and prints the crawl's wall and CPU seconds (the preloading not included).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Crawl.h"
#include "app/CrawlSetup.h"
#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "bench/BenchSupport.h"
#include "bench/SilentInterface.h"
#include "bench/SyntheticResults.h"

using namespace tallyvane;

namespace {

void preload(ResultStore& store, size_t records) {
  std::vector<HopRecord> hops(kHopsPerChain);
  FatalErrorSlot fatal;
  for (size_t i = 0; i < records; ++i) {
    bench::syntheticChain(hops, i, 5);
    const size_t hopCount = hops[0].statusCode == 301 ? 2 : 1;
    if (!store.add(std::span<const HopRecord>(hops.data(), hopCount), TestMode::None, fatal)) {
      std::fprintf(stderr, "preloading failed: %s\n", fatal.get().message.c_str());
      std::exit(1);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t records = 0;
  int threads = 0;
  const char* list = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--preload") == 0 && i + 1 < argc) {
      records = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::atoi(argv[++i]);
    } else {
      list = argv[i];
    }
  }
  if (list == nullptr || threads < 1 || threads > kMaxWorkers) {
    std::fprintf(stderr, "usage: preloaded_crawl --preload N --threads T(1-200) LIST\n");
    return 2;
  }
  bench::SilentInterface ui;
  const auto library = startHttpLibrary(executableDirectory(), ui);
  if (!library) return 1;
  Settings settings;
  ResultStore store(ResultStoreOptions{.slowPageThresholdMs = settings.slowPageThresholdMs});
  preload(store, records);

  // The crawl itself, not a session: a session's crawl starts from an empty store.
  UrlInput input;
  Crawl crawl(library->api(), input, ui);
  CrawlRequest request;
  request.inputFile = list;
  request.threads = threads;
  request.settings = settings;
  request.sink = std::make_shared<StoreSink>(store, TestMode::None);
  const bench::Stopwatch watch;
  crawl.start(std::move(request));
  crawl.wait();
  const double wall = watch.wallSeconds(), cpu = watch.cpuSeconds();
  if (crawl.end() != CrawlEnd::Finished) return 1;
  std::printf("%lld URLs into a store of %zu: %.3f s wall, %.3f s CPU\n", static_cast<long long>(crawl.urlsChecked()),
              records, wall, cpu);
  return 0;
}
