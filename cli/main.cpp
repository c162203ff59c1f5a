#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/Interrupts.h"
#include "cli/SettingsCommand.h"
#include "cli/TestCommands.h"

using namespace tallyvane;

int main(int argc, char** argv) {
  CLI::App app{"Tallyvane checks URL lists: status codes, redirect chains and response headers."};
  app.require_subcommand(1);
  std::string settingsFile;
  app.add_option("--settings", settingsFile, "Settings file to use (created with defaults when missing)");
  app.fallthrough();

  cli::CheckOptions options;
  int threads = 0;
  cli::OutputOptions outputs;
  bool lowMemory = false;
  // What check and both tests share: the input, threads, outputs and the connection.
  auto addCrawlOptions = [&](CLI::App* command, bool withStandardInput) {
    command
        ->add_option("INPUT", options.input,
                     withStandardInput ? "A .txt, .csv or .xml (sitemap) file, or - for lines on stdin"
                                       : "A .txt, .csv or .xml (sitemap) file")
        ->required();
    command->add_option("-t,--threads", threads, "Worker threads for this run (1-200); default NumThreads");
    command->add_flag("-q,--quiet", options.quiet, "No progress and no line per URL");
    command->add_option("--report", outputs.reports,
                        "CSV report when done: KIND=FILE, KIND standard|redirects|links|raw; repeatable");
    command->add_option("--save", outputs.save, "Results file (.tvl) when done");
    command->add_option("--filter", outputs.filter, "Reports hold only filter F: its number 0-13 or its exact name");
    command->add_option("--sort", outputs.sort, "Reports in the order of a result-list column: COLUMN[:desc]");
    command->add_option("--ca-bundle", options.connection.caBundle,
                        "PEM file of the certificate authorities to trust instead of the system's");
    command->add_option("--resolve", options.connection.resolve,
                        "HOST:PORT:ADDRESS: connect there for HOST:PORT, Host and SNI unchanged; repeatable");
  };
  CLI::App* check = app.add_subcommand("check", "Check a URL list and print the results");
  addCrawlOptions(check, true);
  check->add_flag("--stats", options.stats, "Print the result store's size at the end");
  check->add_flag("--low-memory", lowMemory,
                  "Write the one --report while the crawl runs and keep nothing (no duplicate test)");

  std::string rulesFile;
  CLI::App* mappingTest = app.add_subcommand("mapping-test", "Test every URL against the redirects of a rules file");
  addCrawlOptions(mappingTest, false);
  mappingTest->add_option("--rules", rulesFile, "Mapping rules file: one \"source target\" rule per line");
  mappingTest->add_option("--junit", options.junit, "JUnit XML when done: one test case per URL");

  std::string form;
  bool onlyInputUrls = false, hsts = false, cookies = false;
  CLI::App* canonicalTest =
      app.add_subcommand("canonical-test", "Test that every URL's http/https and www forms reach one canonical form");
  addCrawlOptions(canonicalTest, false);
  canonicalTest->add_option("--form", form, "The canonical form: 0-3 or https | https-www | http | http-www");
  canonicalTest->add_flag("--only-input", onlyInputUrls, "Test only the input URLs (no generated variants)");
  canonicalTest->add_flag("--hsts", hsts, "Test for proper HSTS headers");
  canonicalTest->add_flag("--cookies", cookies, "Test for non-secure cookies");
  canonicalTest->add_option("--junit", options.junit, "JUnit XML when done: one test case per URL");

  auto addOutputOptions = [&outputs](CLI::App* command) {
    command->add_option("--report", outputs.reports,
                        "CSV report when done: KIND=FILE, KIND standard|redirects|links|raw; repeatable");
    command->add_option("--filter", outputs.filter, "Reports hold only filter F: its number 0-13 or its exact name");
    command->add_option("--sort", outputs.sort, "Reports in the order of a result-list column: COLUMN[:desc]");
  };

  std::string resultsFile;
  CLI::App* report = app.add_subcommand("report", "Write CSV reports from a results file");
  report->add_option("RESULTS", resultsFile, "A results file (.tvl)")->required();
  addOutputOptions(report);

  CLI::App* demo = app.add_subcommand("demo", "Start the built-in demo site on 127.0.0.1 and check its URLs");
  demo->add_option("-t,--threads", threads, "Worker threads for this run (1-200)");
  demo->add_flag("-q,--quiet", options.quiet, "No progress and no line per URL");

  CLI::App* settingsCommand = app.add_subcommand("settings", "Show the effective settings, or change one");
  std::string name, value;
  CLI::App* set = settingsCommand->add_subcommand("set", "Change one setting and save the settings file");
  set->add_option("GROUP/KEY", name, "The setting, as listed by \"settings\"")->required();
  set->add_option("VALUE", value, "Its new value")->required();

  CLI11_PARSE(app, argc, argv);
  for (CLI::App* command : {check, mappingTest, canonicalTest, demo}) {
    if (command->count("--threads") > 0) options.threads = threads;
  }

  RunningFlag running;
  cli::stopOnInterrupt(running);
  cli::ConsoleInterface ui;
  if (const auto wrong = cli::parseOutputPlan(outputs, options.outputs)) {
    ui.showMessage(kErrorTitle, *wrong);
    return cli::kExitError;
  }
  if (const auto wrong = cli::checkRunOptions(options)) {
    ui.showMessage(kErrorTitle, *wrong);
    return cli::kExitError;
  }
  if (report->parsed()) {
    if (options.outputs.reports.empty()) {
      ui.showMessage(kErrorTitle, "Name at least one report: --report KIND=FILE");
      return cli::kExitError;
    }
    return cli::runReport(resultsFile, options.outputs, ui);
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
  const CurlApi& curl = library->api();
  int status;
  if (demo->parsed()) {
    status = cli::runDemo(curl, settings, options, ui, running, stdout);
  } else if (mappingTest->parsed()) {
    status = cli::runMappingTest(curl, settings, rulesFile, options, ui, running, stdout);
  } else if (canonicalTest->parsed()) {
    status = cli::runCanonicalTest(curl, settings, form, onlyInputUrls, hsts, cookies, options, ui, running, stdout);
  } else if (lowMemory) {
    status = cli::runLowMemoryCheck(curl, settings, options, ui, running, stdout);
  } else {
    status = cli::runCheck(curl, settings, options, ui, running, stdout);
  }
  return status == cli::kExitFinished && !loaded ? cli::kExitError : status;
}
