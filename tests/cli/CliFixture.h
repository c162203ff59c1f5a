#pragma once
// Runs tallyvane-cli as a user would, with a settings file, a scratch folder and a scripted
// server of the test's own.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "demo/ScriptedHttpServer.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {

class CliFixture : public ::testing::Test {
 protected:
  // The command line that runs tallyvane-cli with the test's settings file.
  std::string command(const std::string& arguments) const {
    return std::string(TALLYVANE_CLI_PATH) + " --settings " + (folder / "settings.prefs").string() + " " + arguments;
  }
  std::pair<int, std::string> cli(const std::string& arguments) const { return runCommand(command(arguments)); }

  ScratchFolder folder;
  demo::ScriptedHttpServer server;
};

}  // namespace tallyvane::testing
