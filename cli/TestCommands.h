#pragma once
// `tallyvane-cli mapping-test`, `canonical-test` and `check --low-memory`: the checks and
// messages of the desktop's dialogs, in their order, then a crawl as check runs it.

#include <cstdio>
#include <optional>
#include <string>

#include "cli/CheckCommand.h"

namespace tallyvane::cli {

int runMappingTest(const HttpLibrary& http, const Settings& settings, const std::string& rulesFile,
                   const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// form: 0-3 or https, https-www, http, http-www.
int runCanonicalTest(const HttpLibrary& http, const Settings& settings, const std::string& form, bool onlyInputUrls,
                     bool hsts, bool cookies, const CheckOptions& options, ConsoleInterface& ui,
                     std::FILE* out);

// Exactly one report, written while the crawl runs; no results file and no sort.
int runLowMemoryCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out);

// The form named by its number or its name; nothing for anything else.
std::optional<CanonicalForm> canonicalFormNamed(const std::string& name);

// The message naming the first run option (threads, connection) that cannot work, or nothing.
// Checked before any file is created or any request made.
std::optional<std::string> checkRunOptions(const CheckOptions& options);

}  // namespace tallyvane::cli
