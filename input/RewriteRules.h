#pragma once
// Search-and-replace rules applied to every URL before it is checked, typed by the user as
// "search replacement" lines; ";" starts a comment.

#include <string>
#include <string_view>
#include <vector>

namespace tallyvane {

struct RewriteRule {
  std::string search;       // never empty, no blank in it
  std::string replacement;  // may hold blanks
};

class RewriteRules {
 public:
  RewriteRules() = default;
  // Lines are separated by CR LF; a line without a blank after its search text is ignored.
  static RewriteRules parse(std::string_view rulesText);

  // The first rule whose search text occurs in the URL replaces its first occurrence; no other
  // rule is tried. Read by every worker at once: nothing here changes during a crawl.
  std::string apply(std::string url) const;

  const std::vector<RewriteRule>& rules() const { return rules_; }
  bool empty() const { return rules_.empty(); }

 private:
  std::vector<RewriteRule> rules_;
};

// The text before the first ";", blanks trimmed at both ends. Rewrite and mapping rules share it.
std::string_view ruleLineOf(std::string_view line);

}  // namespace tallyvane
