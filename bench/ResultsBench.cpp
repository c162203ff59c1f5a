// Results figures on synthetic crawl results: sorting (random, sorted and reversed input),
// saving and loading the results file, and writing each CSV report, with the file sizes.
//   results_bench [RECORDS] [FOLDER]   (default 1,000,000 records, the system's temporary folder)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/SyntheticResults.h"
#include "results/CsvReport.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"

using namespace tallyvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Adds the synthetic records in the given order of their numbers.
void fill(ResultStore& store, const std::vector<size_t>& order) {
  std::vector<HopRecord> hops(kHopsPerChain);
  FatalErrorSlot fatal;
  for (const size_t i : order) {
    bench::syntheticChain(hops, i, 5);
    if (!store.add(hops, kTestModeNone, fatal)) {
      std::fprintf(stderr, "add failed: %s\n", fatal.get().message.c_str());
      std::exit(1);
    }
  }
}

void timeSort(ResultStore& store, int column, const char* what) {
  ResultView view(store);
  const auto start = Clock::now();
  view.sortBy(column, SortDirection::Ascending);
  view.waitForSort();
  const double seconds = secondsSince(start);
  std::printf("%-34s %8.3f s  %10.0f records/s\n", what, seconds, store.count() / seconds);
}

double fileMiB(const fs::path& file) { return static_cast<double>(fs::file_size(file)) / 1048576.0; }

}  // namespace

int main(int argc, char** argv) {
  const size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  std::vector<size_t> order(records);
  for (size_t i = 0; i < records; ++i) order[i] = i;

  std::printf("%zu records, one in five with one redirect\n", records);
  ResultStore store;
  std::vector<size_t> shuffled = order;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937_64(42));
  fill(store, shuffled);
  timeSort(store, kUrlColumn, "sort by URL, random order");
  timeSort(store, kStatusCodeColumn, "sort by status code");

  const fs::path results = folder / "tallyvane-bench.tvl";
  auto start = Clock::now();
  if (const auto failure = saveResults(store, kTestModeNone, results)) {
    std::fprintf(stderr, "%s\n", failure->text.c_str());
    return 1;
  }
  double seconds = secondsSince(start);
  std::printf("%-34s %8.3f s  %10.0f records/s  %8.1f MiB\n", "save results file", seconds, records / seconds,
              fileMiB(results));
  ResultStore loaded;
  start = Clock::now();
  const LoadOutcome outcome = loadResults(loaded, results);
  seconds = secondsSince(start);
  if (outcome.message || loaded.count() != store.count()) {
    std::fprintf(stderr, "load failed: %s\n", outcome.message ? outcome.message->text.c_str() : "count differs");
    return 1;
  }
  std::printf("%-34s %8.3f s  %10.0f records/s\n", "load results file", seconds, records / seconds);
  loaded.clear();
  fs::remove(results);

  const std::pair<ReportKind, const char*> kinds[] = {{ReportKind::Standard, "standard report"},
                                                      {ReportKind::RedirectDetails, "redirect details report"},
                                                      {ReportKind::LinkHeaders, "link headers report"},
                                                      {ReportKind::RawHeaders, "raw headers report"}};
  for (const auto& [kind, name] : kinds) {
    std::string lines;
    size_t bytes = 0;
    start = Clock::now();
    for (int64_t row = 0; row < store.count(); ++row) {
      appendReportLines(kind, *store.recordAtRow(row, {}), kTestModeNone, lines);
      if (lines.size() > (1u << 20)) bytes += lines.size(), lines.clear();
    }
    bytes += lines.size();
    seconds = secondsSince(start);
    std::printf("%-34s %8.3f s  %10.0f MB/s in memory\n", name, seconds, bytes / seconds / 1e6);
    const fs::path report = folder / "tallyvane-bench.csv";
    start = Clock::now();
    if (const auto failure = writeReport(store, {}, kind, kTestModeNone, report)) {
      std::fprintf(stderr, "%s\n", failure->text.c_str());
      return 1;
    }
    seconds = secondsSince(start);
    std::printf("%-34s %8.3f s  %10.0f records/s  %8.1f MiB\n", name, seconds, records / seconds, fileMiB(report));
    fs::remove(report);
  }
  store.clear();

  ResultStore ascending;
  fill(ascending, order);
  timeSort(ascending, kUrlColumn, "sort by URL, already sorted");
  ascending.clear();
  std::vector<size_t> reversed(order.rbegin(), order.rend());
  ResultStore descending;
  fill(descending, reversed);
  timeSort(descending, kUrlColumn, "sort by URL, reversed");
  return 0;
}
