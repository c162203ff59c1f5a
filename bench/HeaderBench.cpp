// Header analysis on hostile header blocks: many Vary, X-Robots-Tag, folded and Link lines.
// Prints the median time of five runs per block; it should grow in proportion to the lines.
// Then the work every response's header block gets as it arrives, on typical blocks: the status
// text, each line screened for the analysed headers, the block checked as UTF-8.
//   header_bench [LINES]   (default 116,000)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Text.h"
#include "bench/BenchSupport.h"
#include "bench/SyntheticResults.h"
#include "engine/HeaderAnalysis.h"
#include "engine/StatusLine.h"

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

// Typical header blocks, each line with its CR LF as libcurl hands it over.
std::vector<std::vector<std::string>> typicalBlocks() {
  std::vector<std::vector<std::string>> blocks;
  for (size_t i = 0; i < 1000; ++i) {
    const std::string block = bench::syntheticHeaders(i, i % 5 == 0 ? 301 : 200);
    std::vector<std::string>& lines = blocks.emplace_back();
    for (size_t at = 0; at < block.size();) {
      const size_t end = block.find("\r\n", at) + 2;
      lines.push_back(block.substr(at, end - at));
      at = end;
    }
  }
  return blocks;
}

constexpr size_t kRounds = 200;

void expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "wrong count of %s\n", what);
  std::exit(1);
}

[[gnu::noinline]] void statusTexts(const std::vector<std::vector<std::string>>& blocks) {
  size_t bytes = 0;
  const bench::Stopwatch watch;
  for (size_t round = 0; round < kRounds; ++round) {
    for (const auto& lines : blocks) bytes += statusTextOf(lines.front()).size();
  }
  const double perLine = watch.cpuSeconds() / (static_cast<double>(kRounds) * static_cast<double>(blocks.size())) * 1e9;
  expect(bytes == kRounds * (800 * std::string_view("OK").size() + 200 * std::string_view("Moved Permanently").size()),
         "status texts");
  bench::printFigure("status text of a status line", perLine, "ns/line");
}

[[gnu::noinline]] void screenedLines(const std::vector<std::vector<std::string>>& blocks) {
  size_t lines = 0, analysed = 0;
  const bench::Stopwatch watch;
  for (size_t round = 0; round < kRounds; ++round) {
    for (const auto& block : blocks) {
      for (const auto& line : block) analysed += analysedHeaderOf(line) != AnalysedHeader::kNone;
      lines += block.size();
    }
  }
  const double perLine = watch.cpuSeconds() / static_cast<double>(lines) * 1e9;
  expect(analysed == kRounds * blocks.size(), "analysed lines");  // one Vary line a block
  bench::printFigure("header line screened for analysed names", perLine, "ns/line");
}

[[gnu::noinline]] void checkedBlocks(const std::vector<std::vector<std::string>>& blocks) {
  std::vector<std::string> whole;
  for (const auto& lines : blocks) {
    std::string& block = whole.emplace_back();
    for (const auto& line : lines) block += line;
  }
  size_t valid = 0;
  const bench::Stopwatch watch;
  for (size_t round = 0; round < kRounds; ++round) {
    for (const auto& block : whole) valid += isValidUtf8(block);
  }
  const double perBlock = watch.cpuSeconds() / (static_cast<double>(kRounds) * static_cast<double>(whole.size())) * 1e9;
  expect(valid == kRounds * whole.size(), "valid blocks");
  bench::printFigure("header block checked as UTF-8", perBlock, "ns/block");
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
  const auto typical = typicalBlocks();
  statusTexts(typical);
  screenedLines(typical);
  checkedBlocks(typical);
  return 0;
}
