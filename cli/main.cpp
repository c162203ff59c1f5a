#include <CLI/CLI.hpp>

#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"
#include "cli/Interrupts.h"
#include "tests/support/DemoSite.h"

int main(int argc, char** argv) {
  CLI::App app{"Tallyvane checks URLs: status codes, redirect chains and response headers."};
  app.require_subcommand(1);

  std::vector<std::string> urls;
  CLI::App* check = app.add_subcommand("check", "Check the URLs given and print each redirect chain hop by hop");
  check->add_option("URL", urls, "http:// or https:// URLs to check")->required();
  CLI::App* demo = app.add_subcommand("demo", "Start the built-in demo site on 127.0.0.1 and check its URLs");

  CLI11_PARSE(app, argc, argv);

  tallyvane::RunningFlag running;
  tallyvane::cli::stopOnInterrupt(running);
  tallyvane::cli::ConsoleInterface ui;
  tallyvane::Settings settings;
  if (demo->parsed()) {
    const tallyvane::testing::DemoSite site;
    std::printf("Demo site running at %s\n\n", site.server().origin().c_str());
    return tallyvane::cli::checkUrls(site.urls(), settings, ui, running, stdout);
  }
  return tallyvane::cli::checkUrls(urls, settings, ui, running, stdout);
}
