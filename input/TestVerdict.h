#pragma once
// What the redirect tests read of one checked URL, and what they decide. The crawl hands its
// hop records over as this outline, so the tests need nothing of the engine.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tallyvane {

// How following the URL's redirects ended, before anything is compared.
enum class ChainEnd { Answered, Loop, MaxRedirects, Failed };

struct OutlineHop {
  std::string_view url;
  int64_t statusCode = 0;  // 0: no answer
  std::string_view rawHeaders;
};

struct ChainOutline {
  ChainEnd end = ChainEnd::Answered;
  std::span<const OutlineHop> hops;  // hop 0 the URL checked, then one per redirect followed

  int redirects() const { return static_cast<int>(hops.size()) - 1; }
};

struct TestVerdict {
  bool passed = true;
  std::string note;  // bracketed reasons joined by ","
};

// The verdicts every test gives before comparing anything: a loop, too many redirects, a failed
// request. Nothing for a chain that ended with an answer.
std::optional<TestVerdict> earlyVerdict(ChainEnd end);

// Appends a reason, as "," + reason; the commas at both ends are removed by finish().
class VerdictBuilder {
 public:
  void fail(std::string_view reason);
  TestVerdict finish();

 private:
  TestVerdict verdict_;
};

}  // namespace tallyvane
