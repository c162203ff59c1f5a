#pragma once
// The comment the rewrite rules editor shows while no rules are set. Every line is a comment, so
// saving it unchanged sets no rule.

#include <string>

namespace tallyvane {

// Eleven lines joined by CR LF.
std::string rewriteRulesHelpComment();

}  // namespace tallyvane
