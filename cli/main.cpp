#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>

#include "app/HttpLibrary.h"
#include "app/ProgramPath.h"
#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/Interrupts.h"
#include "cli/SettingsCommand.h"
#include "tests/support/DemoSite.h"

using namespace tallyvane;

int main(int argc, char** argv) {
  CLI::App app{"Tallyvane checks URLs: status codes, redirect chains and response headers."};
  app.require_subcommand(1);
  std::string settingsFile;
  app.add_option("--settings", settingsFile, "Settings file to use (created with defaults when missing)");
  app.fallthrough();

  std::vector<std::string> urls;
  CLI::App* check = app.add_subcommand("check", "Check the URLs given and print each redirect chain hop by hop");
  check->add_option("URL", urls, "http:// or https:// URLs to check")->required();

  CLI::App* demo = app.add_subcommand("demo", "Start the built-in demo site on 127.0.0.1 and check its URLs");

  CLI::App* settingsCommand = app.add_subcommand("settings", "Show the effective settings, or change one");
  std::string name, value;
  CLI::App* set = settingsCommand->add_subcommand("set", "Change one setting and save the settings file");
  set->add_option("GROUP/KEY", name, "The setting, as listed by \"settings\"")->required();
  set->add_option("VALUE", value, "Its new value")->required();

  CLI11_PARSE(app, argc, argv);

  RunningFlag running;
  cli::stopOnInterrupt(running);
  cli::ConsoleInterface ui;
  // As at every start: libcurl first, then the settings.
  std::unique_ptr<HttpLibrary> library;
  if (!settingsCommand->parsed()) {
    library = startHttpLibrary(executableDirectory(), ui);
    if (!library) return cli::kExitError;
  }
  const SettingsLocation location = settingsFile.empty() ? defaultSettingsLocation(executablePath())
                                                         : settingsLocationOf(settingsFile);
  Settings settings;
  const bool loaded = cli::loadCliSettings(settings, location, ui);

  if (settingsCommand->parsed()) {
    if (set->parsed()) return loaded ? cli::setSetting(settings, location, name, value, ui) : cli::kExitError;
    cli::printSettings(settings, location, stdout);
    return loaded ? cli::kExitFinished : cli::kExitError;
  }
  int status;
  if (demo->parsed()) {
    const testing::DemoSite site;
    std::printf("Demo site running at %s\n\n", site.server().origin().c_str());
    status = cli::checkUrls(library->api(), site.urls(), settings, ui, running, stdout);
  } else {
    status = cli::checkUrls(library->api(), urls, settings, ui, running, stdout);
  }
  return status == cli::kExitFinished && !loaded ? cli::kExitError : status;
}
