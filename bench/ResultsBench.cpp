// Results figures on synthetic crawl results, each beside its goal or the plain version of the
// same work: sorting (keys taken once and stable-sorted plainly, beside), the four CSV reports
// in memory and to a file, saving and loading the results file, and merging four shards' files
// beside loading them.
//   results_bench [--records N] [--folder DIR]   (default 1,000,000 records, the temporary folder)

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/SyntheticResults.h"
#include "results/CsvReport.h"
#include "results/ResultView.h"
#include "results/ResultsFile.h"
#include "results/ResultsMerge.h"

using namespace tallyvane;
namespace fs = std::filesystem;
using bench::printFigure;
using bench::Stopwatch;

namespace {

// Adds the synthetic records in the given order of their numbers.
void fill(ResultStore& store, const std::vector<size_t>& order) {
  std::vector<HopRecord> hops(kHopsPerChain);
  FatalErrorSlot fatal;
  for (const size_t i : order) {
    bench::syntheticChain(hops, i, 5);
    if (!store.add(hops, TestMode::None, fatal)) {
      std::fprintf(stderr, "add failed: %s\n", fatal.get().message.c_str());
      std::exit(1);
    }
  }
}

// The plain ceiling: every row's key taken once into a vector, then a stable sort of it.
template <typename Key>
double plainSortSeconds(const ResultStore& store, Key keyOf) {
  const Stopwatch watch;
  std::vector<std::pair<decltype(keyOf(*store.recordAtIndex(0))), uint32_t>> keys;
  keys.reserve(static_cast<size_t>(store.count()));
  for (int64_t i = 0; i < store.count(); ++i) keys.emplace_back(keyOf(*store.recordAtIndex(i)), static_cast<uint32_t>(i));
  std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return watch.cpuSeconds();
}

void timeSort(ResultStore& store, int column, const char* what, const char* goal, double goalSeconds) {
  ResultView view(store);
  const Stopwatch watch;
  view.sortBy(column, SortDirection::Ascending);
  view.waitForSort();
  const double seconds = watch.cpuSeconds();
  if (view.rowCount() != store.count()) {
    std::fprintf(stderr, "the sort lost rows\n");
    std::exit(1);
  }
  printFigure(what, seconds, "s CPU", goal, goalSeconds <= 0 || seconds <= goalSeconds);
}

void reports(const ResultStore& store, const fs::path& folder) {
  const std::pair<ReportKind, const char*> kinds[] = {{ReportKind::Standard, "standard report"},
                                                      {ReportKind::RedirectDetails, "redirect details report"},
                                                      {ReportKind::LinkHeaders, "link headers report"},
                                                      {ReportKind::RawHeaders, "raw headers report"}};
  for (const auto& [kind, name] : kinds) {
    std::string lines;
    size_t bytes = 0;
    const Stopwatch inMemory;
    for (int64_t row = 0; row < store.count(); ++row) {
      appendReportLines(kind, *store.recordAtRow(row, {}), TestMode::None, lines);
      if (lines.size() > (size_t{1} << 20)) bytes += lines.size(), lines.clear();
    }
    bytes += lines.size();
    const double rate = static_cast<double>(bytes) / inMemory.cpuSeconds() / 1e6;
    printFigure(name, rate, "MB/s in memory", ">= 600 MB/s", rate >= 600);
    const fs::path report = folder / "tallyvane-bench.csv";
    const Stopwatch toFile;
    if (const auto failure = writeReport(store, {}, kind, TestMode::None, report)) {
      std::fprintf(stderr, "%s\n", failure->text.c_str());
      std::exit(1);
    }
    const double seconds = toFile.wallSeconds();
    printFigure("  with the file (wall)", seconds, "s");
    printFigure("  file size", static_cast<double>(fs::file_size(report)) / 1048576.0, "MiB");
    fs::remove(report);
  }
}

// The standard report written in a column's order beside store order, the sort included: what
// --sort adds to a report.
void sortedReport(ResultStore& store, int column, const char* what, const char* goal, double goalSeconds,
                  const fs::path& folder) {
  const fs::path report = folder / "tallyvane-bench.csv";
  const auto write = [&](ViewSelection view) {
    if (const auto failure = writeReport(store, view, ReportKind::Standard, TestMode::None, report)) {
      std::fprintf(stderr, "%s\n", failure->text.c_str());
      std::exit(1);
    }
  };
  const Stopwatch plain;
  write({});
  const double plainSeconds = plain.cpuSeconds();
  ResultView view(store);
  const Stopwatch sorted;
  view.sortBy(column, SortDirection::Ascending);
  view.waitForSort();
  write(view.selection());
  const double extra = sorted.cpuSeconds() - plainSeconds;
  printFigure(what, extra, "s CPU", store.count() <= 1000000 ? goal : nullptr, extra <= goalSeconds);
  view.selectFilter(Filter::AllUrls);
  fs::remove(report);
}

void resultsFile(const ResultStore& store, const fs::path& folder) {
  const fs::path results = folder / "tallyvane-bench.tvl";
  const Stopwatch save;
  if (const auto failure = saveResults(store, TestMode::None, results)) {
    std::fprintf(stderr, "%s\n", failure->text.c_str());
    std::exit(1);
  }
  const double saveSeconds = save.wallSeconds(), saveCpu = save.cpuSeconds();
  const double mib = static_cast<double>(fs::file_size(results)) / 1048576.0;
  printFigure("save results file (wall)", saveSeconds, "s");
  printFigure("  of which CPU", saveCpu, "s");
  printFigure("  results file size", mib, "MiB");
  ResultStore loaded;
  const Stopwatch load;
  const LoadOutcome outcome = loadResults(loaded, results);
  if (outcome.message || loaded.count() != store.count()) {
    std::fprintf(stderr, "load failed: %s\n", outcome.message ? outcome.message->text.c_str() : "count differs");
    std::exit(1);
  }
  const double loadSeconds = load.wallSeconds(), loadCpu = load.cpuSeconds();
  printFigure("load results file (wall)", loadSeconds, "s");
  // Wall time well above CPU time is time spent waiting: for the disk, or for other processes.
  printFigure("  of which CPU", loadCpu, "s");
  fs::remove(results);
}

// Four files of records URLs each (distinct), merged beside loaded; interleaved rounds, medians.
void mergeShards(size_t records, const fs::path& folder) {
  std::vector<fs::path> shards;
  for (size_t shard = 0; shard < 4; ++shard) {
    ResultStore store;
    std::vector<size_t> numbers(records);
    for (size_t i = 0; i < records; ++i) numbers[i] = shard * records + i;
    fill(store, numbers);
    shards.push_back(folder / ("tallyvane-bench-shard" + std::to_string(shard) + ".tvl"));
    if (const auto failure = saveResults(store, TestMode::None, shards.back())) {
      std::fprintf(stderr, "%s\n", failure->text.c_str());
      std::exit(1);
    }
  }
  const fs::path merged = folder / "tallyvane-bench-merged.tvl";
  std::vector<double> loads, merges;
  for (int round = 0; round < 3; ++round) {
    const Stopwatch load;
    for (const fs::path& shard : shards) {
      ResultStore store;
      if (loadResults(store, shard).message) std::exit(1);
    }
    loads.push_back(load.wallSeconds());
    const Stopwatch merge;
    const MergeOutcome outcome = mergeResults(shards, merged);
    merges.push_back(merge.wallSeconds());
    if (outcome.message || outcome.records != static_cast<int64_t>(4 * records)) {
      std::fprintf(stderr, "merge failed: %s\n", outcome.message ? outcome.message->text.c_str() : "count differs");
      std::exit(1);
    }
  }
  const auto median = [](std::vector<double> v) { std::sort(v.begin(), v.end()); return v[v.size() / 2]; };
  const auto spread = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end()); };
  printFigure("load four shards' files (wall, median of 3)", median(loads), "s");
  printFigure("  spread", spread(loads), "s");
  printFigure("merge them (wall, median of 3)", median(merges), "s");
  printFigure("  spread", spread(merges), "s");
  const double ratio = median(merges) / median(loads);
  printFigure("  merge / load", ratio, "x", "<= 1.5", ratio <= 1.5);
  for (const fs::path& shard : shards) fs::remove(shard);
  fs::remove(merged);
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = bench::parseArguments(argc, argv, "results_bench [--records N] [--folder DIR]");
  const size_t records = arguments.records;
  const fs::path folder = arguments.folder.empty() ? fs::temp_directory_path() : fs::path(arguments.folder);
  std::vector<size_t> order(records);
  for (size_t i = 0; i < records; ++i) order[i] = i;
  std::printf("%zu records, one in five with one redirect; CPU time of the work (this machine is shared)\n", records);

  ResultStore store;
  std::vector<size_t> shuffled = order;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937_64(42));
  fill(store, shuffled);
  const bool atMillion = records <= 1000000;
  timeSort(store, kUrlColumn, "sort by URL, random order", atMillion ? "<= 1.0 s at 1 M" : nullptr, atMillion ? 1.0 : 0);
  printFigure("  keys taken once, then sorted plainly",
              plainSortSeconds(store, [](const ResultRecord& r) { return std::string_view(r.first().url); }), "s CPU");
  timeSort(store, kStatusCodeColumn, "sort by status code", atMillion ? "<= 0.2 s at 1 M" : nullptr, atMillion ? 0.2 : 0);
  printFigure("  keys taken once, then sorted plainly",
              plainSortSeconds(store, [](const ResultRecord& r) { return r.first().statusCode; }), "s CPU");
  reports(store, folder);
  sortedReport(store, kUrlColumn, "standard report by URL, over store order", "<= +1.0 s at 1 M", 1.0,
               folder);
  sortedReport(store, kStatusCodeColumn, "standard report by status, over store order", "<= +0.2 s at 1 M",
               0.2, folder);
  resultsFile(store, folder);
  mergeShards(records, folder);
  store.clear();

  ResultStore ascending;
  fill(ascending, order);
  timeSort(ascending, kUrlColumn, "sort by URL, already sorted", nullptr, 0);
  ascending.clear();
  std::vector<size_t> reversed(order.rbegin(), order.rend());
  ResultStore descending;
  fill(descending, reversed);
  timeSort(descending, kUrlColumn, "sort by URL, reversed", nullptr, 0);
  return 0;
}
