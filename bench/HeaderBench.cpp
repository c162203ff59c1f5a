// Header analysis on hostile header blocks: many Vary, X-Robots-Tag, folded and Link lines.
// Prints the median time of five runs per block; it should grow in proportion to the lines.
//   header_bench [LINES]   (default 116,000)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/HeaderAnalysis.h"

using namespace tallyvane;
using Clock = std::chrono::steady_clock;

namespace {

double medianMs(const std::string& headerLines) {
  std::vector<double> runs;
  for (int run = 0; run < 5; ++run) {
    HopRecord hop;
    hop.url = "https://bench.example/page";
    hop.rawHeaders = "HTTP/1.1 200 OK\r\n" + headerLines + "\r\n";
    const auto start = Clock::now();
    analyseHeaders(hop, {});
    runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

std::string repeated(const std::string& line, size_t count) {
  std::string lines;
  lines.reserve(line.size() * count);
  for (size_t i = 0; i < count; ++i) lines += line;
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t lines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 116000;
  const struct {
    const char* name;
    std::string block;
  } blocks[] = {
      {"Vary lines", repeated("Vary: Accept-Encoding\r\n", lines)},
      {"X-Robots-Tag lines", repeated("X-Robots-Tag: noindex\r\n", lines)},
      {"folded lines", "X-Robots-Tag: start\r\n" + repeated(" more\r\n", lines)},
      {"Link lines", repeated("Link: </a>; rel=alternate; hreflang=de\r\n", lines)},
      {"other lines", repeated("X-Other: value\r\n", lines)},
  };
  for (const auto& [name, block] : blocks) {
    std::printf("%zu %-20s %9.1f ms (median of 5)\n", lines, name, medianMs(block));
  }
  return 0;
}
