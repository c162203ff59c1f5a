// Result store figures on synthetic crawl results, each beside its goal or the plain version of
// the same work: add rate, duplicate lookups (beside a hash set of the same URLs), memory per
// record, and adding rows to a sorted view (beside an unsorted add).
//   store_bench [--records N]   (default 1,000,000)

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <barrier>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/SyntheticResults.h"
#include "input/TextLineReader.h"
#include "results/ResultView.h"

using namespace tallyvane;
using bench::printFigure;
using bench::Stopwatch;

namespace {

size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

constexpr size_t kBatch = 1000;

using Batch = std::vector<std::vector<HopRecord>>;
Batch makeBatch() { return Batch(kBatch, std::vector<HopRecord>(kHopsPerChain)); }

// Adds the chains numbered first.. first+count-1, filled into batch a thousand at a time;
// returns the CPU seconds the adds took.
[[gnu::noinline]] double addChains(ResultStore& store, Batch& batch, size_t first, size_t count, size_t redirectEvery, size_t& textBytes) {
  FatalErrorSlot fatal;
  double seconds = 0;
  for (size_t base = first; base < first + count; base += kBatch) {
    const size_t n = std::min(kBatch, first + count - base);
    for (size_t j = 0; j < n; ++j) textBytes += bench::syntheticChain(batch[j], base + j, redirectEvery);
    const Stopwatch watch;
    for (size_t j = 0; j < n; ++j) {
      if (!store.add(batch[j], TestMode::None, fatal)) {
        std::fprintf(stderr, "add failed: %s\n", fatal.get().message.c_str());
        std::exit(1);
      }
    }
    seconds += watch.cpuSeconds();
  }
  return seconds;
}

// Lookups of URLs present and absent, through the store and through a plain hash set.
[[gnu::noinline]] void lookups(const ResultStore& store, size_t records) {
  std::vector<std::string> urls;
  urls.reserve(2 * kBatch);
  size_t found = 0, lookups = 0;
  double seconds = 0;
  std::vector<std::string> all;
  all.reserve(records);
  for (size_t i = 0; i < records; ++i) all.push_back(bench::syntheticUrl(i));
  const std::unordered_set<std::string_view> plain(all.begin(), all.end());
  size_t plainFound = 0;
  double plainSeconds = 0;
  for (size_t base = 0; base < records; base += kBatch) {
    urls.clear();
    for (size_t j = 0; j < kBatch && base + j < records; ++j) {
      urls.push_back(bench::syntheticUrl((base + j) * 7919 % records));
      urls.push_back(bench::syntheticUrl(records + base + j));
    }
    Stopwatch watch;
    for (const auto& url : urls) found += store.contains(url);
    seconds += watch.cpuSeconds();
    watch = Stopwatch();
    for (const auto& url : urls) plainFound += plain.count(url);
    plainSeconds += watch.cpuSeconds();
    lookups += urls.size();
  }
  if (found != lookups / 2 || plainFound != found) {
    std::fprintf(stderr, "lookups gave wrong answers: %zu found of %zu\n", found, lookups / 2);
    std::exit(1);
  }
  printFigure("duplicate lookups (half present)", lookups / seconds / 1e6, "M/s");
  printFigure("  the same URLs in a hash set", lookups / plainSeconds / 1e6, "M/s");
}

// A worker's claim on a URL and its release, while every other worker holds a claim too: once per
// URL of a crawl, under the store's lock.
[[gnu::noinline]] void claims(ResultStore& store, size_t records) {
  constexpr size_t kOthers = 199;  // the most workers there are, less the one timed
  std::vector<std::string> held(kOthers);
  std::vector<PackedChain> heldChains(kOthers);
  for (size_t i = 0; i < kOthers; ++i) {
    held[i] = bench::syntheticUrl(2 * records + i);
    store.claim(held[i], heldChains[i]);
  }
  std::vector<std::string> urls;
  for (size_t i = 0; i < kBatch; ++i) urls.push_back(bench::syntheticUrl(3 * records + i));
  PackedChain chain;
  const size_t rounds = std::max<size_t>(1, records / kBatch);
  size_t claimed = 0;
  const Stopwatch watch;
  for (size_t round = 0; round < rounds; ++round) {
    for (const auto& url : urls) {
      claimed += store.claim(url, chain);
      store.release(url, chain);
    }
  }
  const double seconds = watch.cpuSeconds();
  for (size_t i = 0; i < kOthers; ++i) store.release(held[i], heldChains[i]);
  if (claimed != rounds * urls.size()) {
    std::fprintf(stderr, "claims refused\n");
    std::exit(1);
  }
  printFigure("claim and release, 199 others claimed", seconds / static_cast<double>(claimed) * 1e9, "ns/URL");
}

// Header blocks packed by 200 workers in turn, as a crawl with 200 threads packs them: each
// worker packs one block a round, so 199 others have packed since it last did. Only the packing
// is timed, on the steady clock (rounds are waited for, and other processes may run).
[[gnu::noinline]] void packsInTurn(const ResultStore& store) {
  constexpr size_t kWorkers = 200, kRounds = 200;
  std::barrier round(kWorkers);
  std::vector<double> seconds(kWorkers);
  std::vector<std::thread> workers;
  for (size_t w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      std::vector<HopRecord> hops(1);
      bench::syntheticChain(hops, w, 0);
      PackedChain chain;
      for (size_t r = 0; r < kRounds; ++r) {
        round.arrive_and_wait();
        const auto start = std::chrono::steady_clock::now();
        store.packHeaders(hops, chain);
        seconds[w] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }
    });
  }
  for (auto& worker : workers) worker.join();
  double total = 0;
  for (const double s : seconds) total += s;
  printFigure("header block packed, 200 workers in turn", total / (kWorkers * kRounds) * 1e6, "us/block");
}

// The list the store is filled from, read line by line as a crawl reads it.
[[gnu::noinline]] void readUrlList(size_t records) {
  const std::filesystem::path list = std::filesystem::temp_directory_path() / "tallyvane-bench-list.txt";
  {
    std::ofstream out(list, std::ios::binary);
    for (size_t i = 0; i < records; ++i) out << bench::syntheticUrl(i) << (i % 2 == 0 ? "\n" : "\r\n");
  }
  FileDescriptor fd = openFile(list.c_str(), O_RDONLY);
  if (!fd.valid()) {
    std::fprintf(stderr, "cannot open %s\n", list.c_str());
    std::exit(1);
  }
  TextLineReader reader(std::move(fd), TextEncoding::Unmarked);
  std::string line;
  size_t lines = 0, bytes = 0;
  const Stopwatch watch;
  while (reader.nextLine(line)) ++lines, bytes += line.size();
  const double seconds = watch.cpuSeconds();
  std::filesystem::remove(list);
  if (lines != records) {
    std::fprintf(stderr, "the list reader gave %zu lines of %zu\n", lines, records);
    std::exit(1);
  }
  printFigure("URL list read line by line", static_cast<double>(bytes) / seconds / 1e6, "MB/s");
}

// Rows added while the view is sorted by URL, at random places in the order.
void sortedAdds(ResultStore& store, size_t records) {
  ResultView view(store);
  view.sortBy(kUrlColumn, SortDirection::Ascending);
  view.waitForSort();
  const double bytesSorted = static_cast<double>(store.sortedOrderBytes()) / static_cast<double>(view.rowCount());
  const size_t added = std::min<size_t>(100000, records / 10 + 1);
  Batch batch = makeBatch();
  std::mt19937_64 random(5);
  FatalErrorSlot fatal;
  double seconds = 0;
  // Timed a batch at a time, as the unsorted adds are: a clock read per row would cost as much
  // as the insert.
  for (size_t base = 0; base < added; base += kBatch) {
    const size_t n = std::min(kBatch, added - base);
    for (size_t j = 0; j < n; ++j) {
      bench::syntheticChain(batch[j], 0, 0);
      batch[j][0].url = bench::syntheticUrl(random() % records) + "-" + std::to_string(base + j);  // lands anywhere
    }
    const Stopwatch watch;
    for (size_t j = 0; j < n; ++j) store.add(std::span<const HopRecord>(batch[j].data(), 1), TestMode::None, fatal);
    seconds += watch.cpuSeconds();
  }
  if (view.rowCount() != store.count()) {
    std::fprintf(stderr, "the sorted view lost rows\n");
    std::exit(1);
  }
  const double perRow = seconds / static_cast<double>(added) * 1e6;
  printFigure("add while sorted by URL", perRow, "us/row", "<= 5 us at 10 M rows", perRow <= 5.0);
  printFigure("  sorted order, bytes per row once sorted", bytesSorted, "bytes");
  printFigure("  sorted order, bytes per row after the adds",
              static_cast<double>(store.sortedOrderBytes()) / static_cast<double>(view.rowCount()), "bytes");
}

void scenario(size_t records, size_t redirectEvery) {
  if (redirectEvery == 0) {
    std::printf("%zu records, one hop each\n", records);
  } else {
    std::printf("%zu records, one in %zu with one redirect\n", records, redirectEvery);
  }
  ResultStore store;
  Batch batch = makeBatch();  // before the count starts: the hops are the benchmark's, not the store's
  const size_t residentBefore = residentBytes();
  size_t textBytes = 0;
  const double addSeconds = addChains(store, batch, 0, records, redirectEvery, textBytes);
  const double perRecord = static_cast<double>(residentBytes() - residentBefore) / static_cast<double>(records);
  const double addRate = static_cast<double>(records) / addSeconds;
  printFigure("add rate", addRate / 1e3, "k records/s", ">= 500 k/s", addRate >= 500e3);
  printFigure("resident memory per record, all included", perRecord, "bytes",
              redirectEvery == 0 ? "<= 300 bytes" : nullptr, perRecord <= 300);
  printFigure("  text bytes per record, as added", static_cast<double>(textBytes) / static_cast<double>(records),
              "bytes");
  lookups(store, records);
  if (redirectEvery == 0) {
    claims(store, records);
    packsInTurn(store);
    readUrlList(records);
    printFigure("  unsorted add, for comparison", 1e6 / addRate, "us/row");
    sortedAdds(store, records);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = bench::parseArguments(argc, argv, "store_bench [--records N]");
  std::printf("CPU time of the work measured (this machine is shared; wall time varies).\n");
  // The scenario with the memory goal first: memory the allocator kept from an earlier store
  // would make the figure look smaller than a fresh process's.
  scenario(arguments.records, 0);
  scenario(arguments.records, 5);
  return 0;
}
