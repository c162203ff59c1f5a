#include <CLI/CLI.hpp>

#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/Interrupts.h"

int main(int argc, char** argv) {
  CLI::App app{"Tallyvane checks URLs: status codes, redirect chains and response headers."};
  app.require_subcommand(1);

  std::vector<std::string> urls;
  CLI::App* check = app.add_subcommand("check", "Check the URLs given and print each redirect chain hop by hop");
  check->add_option("URL", urls, "http:// or https:// URLs to check")->required();

  CLI11_PARSE(app, argc, argv);

  tallyvane::RunningFlag running;
  tallyvane::cli::stopOnInterrupt(running);
  tallyvane::cli::ConsoleInterface ui;
  tallyvane::Settings settings;
  return tallyvane::cli::checkUrls(urls, settings, ui, running, stdout);
}
