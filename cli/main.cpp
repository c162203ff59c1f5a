#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>

#include "cli/CheckCommand.h"
#include "cli/ConsoleInterface.h"

namespace {

std::atomic<bool> running{true};

extern "C" void onInterrupt(int) {
  // A second Ctrl-C ends at once.
  if (!running.exchange(false)) std::_Exit(tallyvane::cli::kExitAborted);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tallyvane checks URLs: status codes, redirect chains and response headers."};
  app.require_subcommand(1);

  std::vector<std::string> urls;
  CLI::App* check = app.add_subcommand("check", "Check the URLs given and print each redirect chain hop by hop");
  check->add_option("URL", urls, "http:// or https:// URLs to check")->required();

  CLI11_PARSE(app, argc, argv);

  std::signal(SIGINT, onInterrupt);
  tallyvane::cli::ConsoleInterface ui;
  tallyvane::Settings settings;
  return tallyvane::cli::checkUrls(urls, settings, ui, running, stdout);
}
