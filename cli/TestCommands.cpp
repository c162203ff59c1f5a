#include "cli/TestCommands.h"

#include <array>

namespace tallyvane::cli {
namespace {

constexpr std::array<std::string_view, 4> kFormNames = {"https", "https-www", "http", "http-www"};

int refuse(ConsoleInterface& ui, const Message& message) {
  ui.showMessage(message.title, message.text);
  return kExitError;
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
  const SetupCheck check = checkMappingTest(options.input, rulesFile);
  if (check.message) return refuse(ui, *check.message);
  if (const auto refused = checkOutputPaths(options.outputs, check.setup.inputFile)) return refuse(ui, errorMessage(*refused));
  return runCrawl(http, settings, check.setup, {}, options, ui, out);
}

int runCanonicalTest(const HttpLibrary& http, const Settings& settings, const std::string& form, bool onlyInputUrls,
                     bool hsts, bool cookies, const CheckOptions& options, ConsoleInterface& ui,
                     std::FILE* out) {
  const auto chosen = canonicalFormNamed(form);
  if (!chosen && !form.empty()) {
    return refuse(ui,
                  errorMessage("Unknown canonical form \"" + form + "\": use 0-3, https, https-www, http or http-www"));
  }
  const SetupCheck check = checkCanonicalTest(chosen, options.input, onlyInputUrls, cookies, hsts);
  if (check.message) return refuse(ui, *check.message);
  if (const auto refused = checkOutputPaths(options.outputs, check.setup.inputFile)) return refuse(ui, errorMessage(*refused));
  return runCrawl(http, settings, check.setup, {}, options, ui, out);
}

int runLowMemoryCheck(const HttpLibrary& http, const Settings& settings, const CheckOptions& options, ConsoleInterface& ui, std::FILE* out) {
  const OutputPlan& plan = options.outputs;
  if (plan.reports.size() != 1) {
    return refuse(ui, errorMessage("Low-memory mode writes exactly one report: give one --report KIND=FILE"));
  }
  if (!plan.save.empty() || plan.sortColumn) {
    return refuse(ui, errorMessage("Low-memory mode keeps nothing to save or sort: leave out --save and --sort"));
  }
  if (const auto refused = checkOutputPaths(plan, options.input)) return refuse(ui, errorMessage(*refused));
  const auto& [kind, file] = plan.reports.front();
  const SetupCheck check =
      checkLowMemoryCheck(options.input, file.string(), kind, plan.filter, settings.slowPageThresholdMs);
  if (check.message) return refuse(ui, *check.message);
  return runCrawl(http, settings, check.setup, {}, options, ui, out);
}

}  // namespace tallyvane::cli
