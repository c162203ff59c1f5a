#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/Interrupts.h"
#include "cli/ResumableRun.h"
#include "cli/RunFilesCommands.h"
#include "cli/SettingsCommand.h"
#include "cli/TestCommands.h"

using namespace tallyvane;

namespace {

constexpr std::string_view kInputHelp =
    "A .txt, .csv, .xml or .xml.gz (sitemap) file; the http(s) URL of a sitemap, a sitemap index (followed to its "
    "sitemaps) or a robots.txt (its Sitemap: lines); or - for lines on stdin";

// The message for a command line that names no command or an unknown one; CLI11 would only say
// that a subcommand is required or that an argument was not expected.
std::optional<std::string> commandProblem(int argc, char** argv, CLI::App& app) {
  constexpr std::string_view kCommands =
      "use check, mapping-test, canonical-test, report, diff, merge, demo or settings (see \"tallyvane-cli --help\")";
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help" || argument == "--version") return std::nullopt;
    if (argument == "--settings") {
      ++i;
      continue;
    }
    if (argument.starts_with("-")) continue;
    for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
      if (command->get_name() == argument) return std::nullopt;
    }
    return "Unknown command \"" + std::string(argument) + "\": " + std::string(kCommands);
  }
  return "No command given: " + std::string(kCommands);
}

// Help and --version end well; every other parse error is a usage error, exit status 1.
int parseFailure(CLI::App& app, const CLI::ParseError& error, cli::ConsoleInterface& ui) {
  if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(error);
  ui.showMessage(kErrorTitle, std::string(error.what()) + " (see \"tallyvane-cli --help\")");
  return cli::kExitError;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any other thread starts, so every thread leaves the signals to the watcher.
  cli::watchInterrupts();
  // A reader that went away (| head) makes writes to stdout fail, which ends the lines, not the run.
  std::signal(SIGPIPE, SIG_IGN);
  cli::ConsoleInterface ui;

  CLI::App app{"Tallyvane checks URL lists: status codes, redirect chains and response headers."};
  app.set_version_flag("--version", "tallyvane-cli " TALLYVANE_VERSION);
  app.require_subcommand(1);
  std::string settingsFile;
  app.add_option("--settings", settingsFile, "Settings file to use (created with defaults when missing)");
  app.fallthrough();

  app.footer("Filters (--filter, --fail-on), by number or name in any case:" + cli::filterList() +
             "\nColumns (--sort), by number or header text in any case:" + cli::columnList() +
             "\n--fail-on classes: " + cli::failClassList());

  cli::CheckOptions options;
  int threads = 0;
  int64_t timeoutSeconds = 0, maxPerHost = 0, hostDelayMs = 0, retryAfterLimit = 0;
  cli::OutputOptions outputs;
  std::string format, failOn;
  auto addOutputOptions = [&](CLI::App* command, bool withSave) {
    command->add_option("--report", outputs.reports,
                        "CSV report when done: KIND=FILE (FILE - for stdout), KIND standard|redirects|links|raw; "
                        "repeatable");
    if (withSave) command->add_option("--save", outputs.save, "Results file (.tvl) when done");
    command->add_option("--filter", outputs.filter, "Reports hold only filter F: its number 0-15 or its name");
    command->add_option("--sort", outputs.sort, "Reports in the order of a result-list column: COLUMN[:desc]");
    command->add_option("--format", format,
                        "Per-URL lines on stdout as tsv, csv or jsonl, each as soon as its URL is done; the counts "
                        "then go to stderr");
    command->add_option("--fail-on", failOn,
                        "Exit status 2 when any URL falls in one of these comma-separated classes (see below)");
  };
  // Request settings for this run only; the settings file is never changed by them.
  cli::RequestOverrides& request = options.request;
  std::string userAgent, method, proxy, cookieSwitch, followLinks;
  int preset = 0;
  auto addRequestOptions = [&](CLI::App* command) {
    // canonical-test's own --cookies is its check for cookies without Secure.
    const bool cookieOption = command->get_name() != "canonical-test";
    command->add_option("--user-agent", userAgent, "User-Agent text of this run's requests");
    command->add_option("--preset", preset, "User-agent preset of this run (0-19, as in the settings)");
    command->add_option("-H,--header", request.headers,
                        "\"Name: value\" sent with every request instead of the custom headers; repeatable");
    command->add_option("--method", method, "head or get, for every request of this run");
    command->add_flag("--head-fallback", request.headFallback, "Ask again with GET when a HEAD is answered 405 or 501");
    command->add_option("--proxy", proxy, "Proxy of this run: [http://][user:password@]host[:port]");
    command->add_flag("--no-proxy", request.noProxy, "No proxy for this run, whatever the settings say");
    if (cookieOption) {
      command->add_option("--cookies", cookieSwitch, "on or off: keep cookies between the requests of this run");
    }
    command->add_option("--follow-links", followLinks, "on or off: check the links found in Link headers");
  };
  std::string resumeFile, shard;
  std::string checkpointMinutes;
  // What check and both tests share: the input, threads, time-out, outputs, the run and the connection.
  auto addCrawlOptions = [&](CLI::App* command, std::string_view inputHelp) {
    command->add_option("INPUT", options.input, std::string(inputHelp))->required();
    command->add_option("-t,--threads", threads, "Worker threads for this run (1-200); default NumThreads");
    command->add_option("--timeout", timeoutSeconds,
                        "Seconds a request may take (0-3600, 0: no limit); default Requests/TimeoutSeconds");
    command->add_option("--max-per-host", maxPerHost,
                        "Requests in flight to one host (scheme, host and port) at most (0-200, 0: no limit); "
                        "default Threads/MaxPerHost");
    command->add_option("--delay", hostDelayMs,
                        "Milliseconds at least between the starts of two requests to one host (0-60000); default "
                        "Threads/HostDelayMs");
    command->add_option("--retry-after-limit", retryAfterLimit,
                        "Ask a 429 or 503 again once after its Retry-After when that is at most this many seconds, "
                        "pausing its host meanwhile (0-600, 0: off); default Requests/RetryAfterLimitSeconds");
    command->add_flag("-q,--quiet", options.quiet, "No progress, and no line per URL unless --format asks for them");
    addOutputOptions(command, true);
    command->add_option("--resume", resumeFile,
                        "Results file (.tvl) of an unfinished run: its URLs are not checked again, and the run is "
                        "saved to it");
    command->add_option("--checkpoint", checkpointMinutes,
                        "Minutes between saves of the results file while the crawl runs (default 5 with --save or "
                        "--resume; 0: none)");
    command->add_option("--shard", shard, "I/N: check only the list's URLs of shard I of N (0 to N-1)");
    command->add_option("--ca-bundle", options.connection.caBundle,
                        "PEM file of the certificate authorities to trust instead of the system's");
    command->add_option("--resolve", options.connection.resolve,
                        "HOST:PORT:ADDRESS: connect there for HOST:PORT, Host and SNI unchanged; repeatable");
    addRequestOptions(command);
  };
  CLI::App* check = app.add_subcommand("check", "Check a URL list and print the results");
  addCrawlOptions(check, kInputHelp);
  check->add_flag("--stats", options.stats, "Print the result store's size at the end");
  bool lowMemory = false;
  check->add_flag("--low-memory", lowMemory,
                  "Write the one --report while the crawl runs and keep nothing (no duplicate test)");

  std::string rulesFile;
  CLI::App* mappingTest = app.add_subcommand("mapping-test", "Test every URL against the redirects of a rules file");
  addCrawlOptions(mappingTest, kInputHelp);
  mappingTest->add_option("--rules", rulesFile, "Mapping rules file: one \"source target\" rule per line");
  mappingTest->add_option("--junit", outputs.junit, "JUnit XML when done: one test case per URL");

  std::string form;
  bool onlyInputUrls = false, hsts = false, cookies = false;
  CLI::App* canonicalTest =
      app.add_subcommand("canonical-test", "Test that every URL's http/https and www forms reach one canonical form");
  addCrawlOptions(canonicalTest, kInputHelp);
  canonicalTest->add_option("--form", form, "The canonical form: 0-3 or https | https-www | http | http-www");
  canonicalTest->add_flag("--only-input", onlyInputUrls, "Test only the input URLs (no generated variants)");
  canonicalTest->add_flag("--hsts", hsts, "Test for proper HSTS headers");
  canonicalTest->add_flag("--cookies", cookies, "Test for non-secure cookies");
  canonicalTest->add_option("--junit", outputs.junit, "JUnit XML when done: one test case per URL");

  std::string resultsFile;
  CLI::App* report = app.add_subcommand("report", "Write CSV reports from a results file");
  report->add_option("RESULTS", resultsFile, "A results file (.tvl)")->required();
  addOutputOptions(report, false);

  std::string beforeFile, afterFile;
  bool failOnChange = false;
  CLI::App* diff = app.add_subcommand("diff", "List the URLs whose results changed between two results files");
  diff->add_option("BEFORE", beforeFile, "The earlier results file (.tvl)")->required();
  diff->add_option("AFTER", afterFile, "The later results file (.tvl)")->required();
  diff->add_option("--format", format, "tsv (default), csv or jsonl");
  diff->add_flag("--fail-on-change", failOnChange, "Exit status 2 when any URL changed or is in one file only");

  std::string mergedFile;
  std::vector<std::string> mergeInputs;
  CLI::App* merge = app.add_subcommand("merge", "Join the results files of a list's shards into one");
  merge->add_option("OUT", mergedFile, "The merged results file (.tvl)")->required();
  merge->add_option("IN", mergeInputs, "Results files to join; a URL in more than one keeps the first")->required();

  CLI::App* demo = app.add_subcommand("demo", "Start the built-in demo site on 127.0.0.1 and check its URLs");
  demo->add_option("-t,--threads", threads, "Worker threads for this run (1-200)");
  demo->add_flag("-q,--quiet", options.quiet, "No progress and no line per URL");

  CLI::App* settingsCommand = app.add_subcommand("settings", "Show the effective settings, or change one");
  std::string name, value;
  CLI::App* set = settingsCommand->add_subcommand("set", "Change one setting and save the settings file");
  set->add_option("GROUP/KEY", name, "The setting, as listed by \"settings\"")->required();
  set->add_option("VALUE", value, "Its new value")->required();

  if (const auto problem = commandProblem(argc, argv, app)) {
    ui.showMessage(kErrorTitle, *problem);
    return cli::kExitError;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return parseFailure(app, error, ui);
  }
  for (CLI::App* command : {check, mappingTest, canonicalTest, demo}) {
    if (command->count("--threads") > 0) request.threads = threads;
    if (command == demo) continue;
    if (command->count("--timeout") > 0) request.timeoutSeconds = timeoutSeconds;
    if (command->count("--max-per-host") > 0) request.maxPerHost = maxPerHost;
    if (command->count("--delay") > 0) request.hostDelayMs = hostDelayMs;
    if (command->count("--retry-after-limit") > 0) request.retryAfterLimitSeconds = retryAfterLimit;
    if (command->count("--user-agent") > 0) request.userAgent = userAgent;
    if (command->count("--preset") > 0) request.preset = preset;
    if (command->count("--method") > 0) request.method = method;
    if (command->count("--proxy") > 0) request.proxy = proxy;
    if (command != canonicalTest && command->count("--cookies") > 0) request.cookies = cookieSwitch;
    if (command->count("--follow-links") > 0) request.followLinks = followLinks;
  }
  if (const auto wrong = cli::parseRunOptions(resumeFile, checkpointMinutes, shard, outputs, options)) {
    ui.showMessage(kErrorTitle, *wrong);
    return cli::kExitError;
  }
  if (!format.empty()) {
    options.format = cli::lineFormatNamed(format);
    if (!options.format) {
      ui.showMessage(kErrorTitle, "Unknown --format \"" + format + "\": use tsv, csv or jsonl");
      return cli::kExitError;
    }
  }
  if (!failOn.empty()) {
    auto gate = cli::FailGate::parse(failOn);
    if (auto* wrong = std::get_if<std::string>(&gate)) {
      ui.showMessage(kErrorTitle, *wrong);
      return cli::kExitError;
    }
    options.failOn = std::move(std::get<cli::FailGate>(gate));
  }

  if (const auto wrong = cli::parseOutputPlan(outputs, options.outputs)) {
    ui.showMessage(kErrorTitle, *wrong);
    return cli::kExitError;
  }
  if (const auto wrong = cli::checkRunOptions(options)) {
    ui.showMessage(kErrorTitle, *wrong);
    return cli::kExitError;
  }
  if (merge->parsed()) return cli::runMerge(mergedFile, mergeInputs, ui, stdout);
  if (diff->parsed()) return cli::runDiff(beforeFile, afterFile, options.format, failOnChange, ui, stdout);
  if (report->parsed()) {
    if (options.outputs.reports.empty() && !options.format && options.failOn.empty()) {
      ui.showMessage(kErrorTitle, "Name at least one report (--report KIND=FILE), a --format or a --fail-on");
      return cli::kExitError;
    }
    options.input = resultsFile;
    return cli::runReport(options, ui, stdout);
  }
  // As at every start: libcurl first, then the settings.
  std::unique_ptr<HttpLibrary> library;
  if (!settingsCommand->parsed() && !report->parsed()) {
    library = startHttpLibrary(executableDirectory(), ui);
    if (!library) return cli::kExitError;
  }
  const SettingsLocation location =
      settingsFile.empty() ? defaultSettingsLocation(executablePath()) : settingsLocationOf(settingsFile);
  Settings settings;
  const bool loaded = cli::loadCliSettings(settings, location, ui);

  if (settingsCommand->parsed()) {
    if (set->parsed()) return loaded ? cli::setSetting(settings, location, name, value, ui) : cli::kExitError;
    cli::printSettings(settings, location, stdout);
    return loaded ? cli::kExitFinished : cli::kExitError;
  }
  // Settings that could not be loaded or saved have been reported; the defaults serve the crawl.
  if (demo->parsed()) return cli::runDemo(*library, settings, options, ui, stdout);
  if (mappingTest->parsed()) return cli::runMappingTest(*library, settings, rulesFile, options, ui, stdout);
  if (canonicalTest->parsed()) {
    return cli::runCanonicalTest(*library, settings, form, onlyInputUrls, hsts, cookies, options, ui, stdout);
  }
  if (lowMemory) return cli::runLowMemoryCheck(*library, settings, options, ui, stdout);
  return cli::runCheck(*library, settings, options, ui, stdout);
}
