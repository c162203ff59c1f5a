#include "cli/TestCommands.h"

#include <unistd.h>

#include <array>
#include <charconv>

namespace tallyvane::cli {
namespace {

constexpr std::array<std::string_view, 4> kFormNames = {"https", "https-www", "http", "http-www"};

int refuse(ConsoleInterface& ui, const Message& message) {
  ui.showMessage(message.title, message.text);
  return kExitError;
}

bool validPort(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port >= 1 && port <= 65535;
}

}  // namespace

std::optional<CanonicalForm> canonicalFormNamed(const std::string& name) {
  for (size_t i = 0; i < kFormNames.size(); ++i) {
    if (name == kFormNames[i] || name == std::to_string(i)) return static_cast<CanonicalForm>(i);
  }
  return std::nullopt;
}

std::optional<std::string> checkRunOptions(const CheckOptions& run) {
  if (run.threads && (*run.threads < kMinThreads || *run.threads > kMaxThreads)) {
    return std::string(kInvalidThreadsMessage);
  }
  if (run.timeoutSeconds && (*run.timeoutSeconds < 0 || *run.timeoutSeconds > kMaxTimeoutSeconds)) {
    return std::string(kInvalidTimeoutMessage);
  }
  const ConnectionOptions& options = run.connection;
  if (!options.caBundle.empty() && ::access(options.caBundle.c_str(), R_OK) != 0) {
    return "Cannot read the certificate authorities file: " + options.caBundle;
  }
  for (const std::string& entry : options.resolve) {
    const size_t first = entry.find(':');
    const size_t second = first == std::string::npos ? first : entry.find(':', first + 1);
    if (first == 0 || second == std::string::npos || second + 1 == entry.size() ||
        !validPort(std::string_view(entry).substr(first + 1, second - first - 1))) {
      return "Invalid --resolve \"" + entry + "\": use HOST:PORT:ADDRESS";
    }
  }
  return std::nullopt;
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
