#pragma once
// `tallyvane-cli merge` and `tallyvane-cli diff`: commands over results files of whole runs.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/ConsoleInterface.h"
#include "cli/ResultLines.h"

namespace tallyvane::cli {

// Joins the inputs into output; prints the records written and the URLs found more than once.
int runMerge(const std::string& output, const std::vector<std::string>& inputs, ConsoleInterface& ui, std::FILE* out);

// One line per URL whose result changed or that is in one run only, in format (TSV by default,
// with a heading); failOnChange makes any such URL exit status 2.
int runDiff(const std::string& before, const std::string& after, std::optional<LineFormat> format, bool failOnChange,
            ConsoleInterface& ui, std::FILE* out);

}  // namespace tallyvane::cli
