#pragma once
// What the store and results benchmarks share: the record count from the command line, wall and
// CPU clocks (CPU time is what to compare on a machine other builds share), and a figure printed
// beside its goal.

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tallyvane::bench {

struct BenchArguments {
  size_t records = 1000000;
  std::string folder;
};

// --records N and, where a benchmark writes files, --folder DIR.
inline BenchArguments parseArguments(int argc, char** argv, const char* usage) {
  BenchArguments arguments;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
      arguments.records = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
      arguments.folder = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s\n", usage);
      std::exit(2);
    }
  }
  if (arguments.records == 0) {
    std::fprintf(stderr, "usage: %s\n", usage);
    std::exit(2);
  }
  return arguments;
}

// Wall and process CPU seconds since construction.
class Stopwatch {
 public:
  Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(cpuNow()) {}
  double wallSeconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(); }
  double cpuSeconds() const { return cpuNow() - cpu_; }

 private:
  static double cpuNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  }
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

// One figure per line, with its goal and whether it was met when it has one.
inline void printFigure(const char* name, double value, const char* unit, const char* goal = nullptr,
                        bool met = true) {
  std::printf("%-44s %12.3f %-14s", name, value, unit);
  if (goal) std::printf("  goal %s: %s", goal, met ? "met" : "MISSED");
  std::printf("\n");
}

}  // namespace tallyvane::bench
