#pragma once
// A compiled Perl-compatible regular expression (PCRE2, default options: case-sensitive).
// Compiled once (to machine code where PCRE2 can) and shared: any number of threads may match
// with it at the same time, each thread with match data of its own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

namespace tallyvane {

class RegexPattern {
 public:
  // Nothing when the expression does not compile.
  static std::optional<RegexPattern> compile(std::string_view expression);

  // Walks the successive matches in subject; when the first one that starts at its first
  // character spans it whole, returns the texts of capture groups 1..N ("" for a group that
  // took no part). A pattern that matches the empty string cannot make the walk loop.
  std::optional<std::vector<std::string>> matchWhole(std::string_view subject) const;

 private:
  std::shared_ptr<pcre2_real_code_8> code_;
  uint32_t groups_ = 0;  // capturing groups
};

}  // namespace tallyvane
