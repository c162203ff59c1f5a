// The URL search of the result list without the window: the time from a new text to its rows, in
// store order and in a sorted view, for a text with many, few and no matches, and for a text
// that extends the last one (typing on). Medians of interleaved rounds, wall and process CPU
// (this machine is shared); run it under callgrind for instruction counts.
//   search_bench [--records N]   (default 1,000,000)

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/SyntheticResults.h"
#include "results/ResultColumns.h"
#include "results/ResultView.h"
#include "results/UrlSearch.h"

using namespace tallyvane;
using bench::Stopwatch;

namespace {

struct Case {
  const char* text;
  const char* extended;  // typed on from text, or nullptr
};

// The figures of one case: a new text, then the text that extends it.
struct Times {
  std::vector<double> wall, cpu;
  void print(const std::string& what) {
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-52s wall median %7.1f ms (%5.1f-%5.1f) | CPU median %7.1f ms\n", what.c_str(), wall[wall.size() / 2],
                wall.front(), wall.back(), cpu[cpu.size() / 2]);
  }
};

class Waiter {
 public:
  explicit Waiter(UrlSearch& search) {
    search.setFound([this] {
      std::lock_guard lock(mutex_);
      ++found_;
      changed_.notify_all();
    });
  }
  // Until the search after the one counted by seen is complete.
  void waitPast(int seen) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return found_ > seen; });
  }
  int found() {
    std::lock_guard lock(mutex_);
    return found_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int found_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = bench::parseArguments(argc, argv, "search_bench [--records N]");
  ResultStore store;
  {
    std::vector<HopRecord> hops(kHopsPerChain);
    FatalErrorSlot fatal;
    for (size_t i = 0; i < arguments.records; ++i) {
      bench::syntheticChain(hops, i, 5);
      if (!store.add(hops, TestMode::None, fatal)) return 1;
    }
  }
  ResultView view(store);
  UrlSearch search(store);
  Waiter waiter(search);
  const std::vector<Case> cases = {{"PRODUCT-00001", "PRODUCT-000012"},
                                   {"Shop.com/category", "shop.com/category/sub"},
                                   {"nothing-here", nullptr}};
  std::printf("%zu records; the machine may be shared with other work\n", arguments.records);
  for (const bool sorted : {false, true}) {
    if (sorted) {
      view.sortBy(kResponseTimeColumn, SortDirection::Ascending);
      view.waitForSort();
    }
    std::vector<Times> fresh(cases.size()), typedOn(cases.size());
    std::vector<size_t> matches(cases.size());
    for (int round = 0; round < 5; ++round) {
      for (size_t c = 0; c < cases.size(); ++c) {
        for (const char* text : {cases[c].text, cases[c].extended}) {
          if (text == nullptr) continue;
          const int seen = waiter.found();
          const Stopwatch watch;
          search.search(text, view.selection());
          waiter.waitPast(seen);
          Times& times = text == cases[c].text ? fresh[c] : typedOn[c];
          if (text == cases[c].text) matches[c] = search.rows()->size();
          times.wall.push_back(watch.wallSeconds() * 1000);
          times.cpu.push_back(watch.cpuSeconds() * 1000);
        }
      }
    }
    const std::string order = sorted ? "sorted view" : "store order";
    for (size_t c = 0; c < cases.size(); ++c) {
      fresh[c].print(order + ", new text " + cases[c].text + " (" + std::to_string(matches[c]) + ")");
      if (cases[c].extended) typedOn[c].print(order + ", typed on to " + cases[c].extended);
    }
  }
  return 0;
}
