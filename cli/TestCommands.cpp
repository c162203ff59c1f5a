#include "cli/TestCommands.h"

#include <array>

namespace tallyvane::cli {
namespace {

constexpr std::array<std::string_view, 4> kFormNames = {"https", "https-www", "http", "http-www"};

// The dialogs' checks look for the input file: standard input is there, and its lines are read
// as text once the checks have passed.
constexpr std::string_view kStandardInputFile = "/dev/stdin";

std::string inputFieldOf(const CheckOptions& options) {
  return options.input == "-" ? std::string(kStandardInputFile) : options.input;
}

int refuse(ConsoleInterface& ui, const Message& message) {
  ui.showMessage(message.title, message.text);
  return kExitError;
}

// The dialogs' messages about a file, followed on the command line by the file they concern.
Message namingFile(Message message, const std::string& input, const std::string& rules) {
  if (message.text == kInputFileMissingMessage) {
    message.text += " " + input;
  } else if (message.text == kRulesFileMissingMessage || message.text == kCannotReadMappingRulesMessage) {
    message.text += " " + rules;
  }
  return message;
}

int runTest(const HttpLibrary& http, const Settings& settings, const SetupCheck& check, const std::string& rulesFile,
            const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  if (check.message) return refuse(ui, namingFile(*check.message, options.input, rulesFile));
  CrawlSetup setup = check.setup;
  std::string lines;
  if (options.input == "-") {
    setup.inputFile.clear();
    lines = standardInputText();
  }
  if (const auto refused = checkOutputPaths(options.outputs, setup.inputFile)) return refuse(ui, errorMessage(*refused));
  return runCrawl(http, settings, setup, std::move(lines), options, ui, out);
}

}  // namespace

std::optional<CanonicalForm> canonicalFormNamed(const std::string& name) {
  for (size_t i = 0; i < kFormNames.size(); ++i) {
    if (name == kFormNames[i] || name == std::to_string(i)) return static_cast<CanonicalForm>(i);
  }
  return std::nullopt;
}

std::optional<std::string> checkRunOptions(const CheckOptions& run) {
  if (auto wrong = checkOverrides(run.request)) return wrong;
  return checkConnection(run.connection);
}

int runMappingTest(const HttpLibrary& http, const Settings& settings, const std::string& rulesFile,
                   const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  return runTest(http, settings, checkMappingTest(inputFieldOf(options), rulesFile), rulesFile, options, ui, out);
}

int runCanonicalTest(const HttpLibrary& http, const Settings& settings, const std::string& form, bool onlyInputUrls,
                     bool hsts, bool cookies, const CheckOptions& options, ConsoleInterface& ui,
                     std::FILE* out) {
  const auto chosen = canonicalFormNamed(form);
  if (!chosen && !form.empty()) {
    return refuse(ui,
                  errorMessage("Unknown canonical form \"" + form + "\": use 0-3, https, https-www, http or http-www"));
  }
  return runTest(http, settings, checkCanonicalTest(chosen, inputFieldOf(options), onlyInputUrls, cookies, hsts), {},
                 options, ui, out);
}

int runLowMemoryCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  const OutputPlan& plan = options.outputs;
  if (plan.reports.size() != 1) {
    return refuse(ui, errorMessage("Low-memory mode writes exactly one report: give one --report KIND=FILE"));
  }
  if (!plan.save.empty() || plan.sortColumn) {
    return refuse(ui, errorMessage("Low-memory mode keeps nothing to save or sort: leave out --save and --sort"));
  }
  if (const auto refused = testFilterProblem(options, TestMode::None)) return refuse(ui, errorMessage(*refused));
  if (const auto refused = checkOutputPaths(plan, options.input)) return refuse(ui, errorMessage(*refused));
  const auto& [kind, file] = plan.reports.front();
  const SetupCheck check =
      checkLowMemoryCheck(options.input, file.string(), kind, plan.filter, settings.slowPageThresholdMs);
  if (check.message) return refuse(ui, namingFile(*check.message, options.input, {}));
  return runCrawl(http, settings, check.setup, {}, options, ui, out);
}

}  // namespace tallyvane::cli
