#include "input/RewriteRules.h"

#include "base/Text.h"

namespace tallyvane {

std::string_view ruleLineOf(std::string_view line) {
  const std::string_view trimmed = trimBlanks(line);
  return trimBlanks(trimmed.substr(0, trimmed.find(';')));
}

RewriteRules RewriteRules::parse(std::string_view rulesText) {
  RewriteRules parsed;
  forEachCrLfLine(rulesText, [&](std::string_view line) {
    const std::string_view rule = ruleLineOf(line);
    const size_t blank = rule.find(' ');
    if (blank == std::string_view::npos) return;
    parsed.rules_.push_back({std::string(rule.substr(0, blank)), std::string(trimBlanks(rule.substr(blank + 1)))});
  });
  return parsed;
}

std::string RewriteRules::apply(std::string url) const {
  for (const RewriteRule& rule : rules_) {
    const size_t at = url.find(rule.search);
    if (at == std::string::npos) continue;
    url.replace(at, rule.search.size(), rule.replacement);
    return url;
  }
  return url;
}

}  // namespace tallyvane
