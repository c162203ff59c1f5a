// `cmake --install` into a scratch prefix, and the installed programs run from there with the build
// folder out of reach: no LD_LIBRARY_PATH, no copy of libcurl beside them, an empty home folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

using testing::runCommand;
using testing::ScratchFolder;

// The text as help2man writes it: a hyphen as "\-".
std::string roff(const std::string& text) {
  std::string escaped;
  for (const char c : text) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  return escaped;
}

std::string manualPage(const fs::path& file) {
  const auto [status, page] = runCommand("gzip -dc " + file.string());
  EXPECT_EQ(status, 0) << page;
  return page;
}

class InstalledTreeTest : public ::testing::Test {
 protected:
  InstalledTreeTest() {
    const auto [status, output] = runCommand(std::string(CMAKE_COMMAND_PATH) + " --install " + BUILD_DIR +
                                             " --prefix " + prefix_.path().string());
    installed_ = status == 0;
    EXPECT_TRUE(installed_) << output;
  }

  // Runs an installed program with nothing of the build's environment and a fresh, empty home
  // (which also takes the demo's reports).
  std::pair<int, std::string> runInstalled(const std::string& arguments) const {
    const std::string home = home_.path().string();
    return runCommand("cd " + home + " && env -i HOME=" + home + " TMPDIR=" + home + " PATH=/usr/bin:/bin " +
                      (prefix_ / "bin").string() + "/" + arguments);
  }

  std::set<std::string> installedFiles() const {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix_.path())) {
      if (!entry.is_directory()) files.insert(fs::relative(entry.path(), prefix_.path()).string());
    }
    return files;
  }

  ScratchFolder prefix_;
  ScratchFolder home_;
  bool installed_ = false;
};

TEST_F(InstalledTreeTest, InstallsBothProgramsWithTheirDesktopFilesAndNoCopyOfLibcurl) {
  ASSERT_TRUE(installed_);
  const std::string id = "example.tallyvane.Tallyvane";
  const std::set<std::string> expected = {
      "bin/tallyvane",
      "bin/tallyvane-cli",
      "share/applications/" + id + ".desktop",
      "share/metainfo/" + id + ".metainfo.xml",
      "share/icons/hicolor/scalable/apps/" + id + ".svg",
      "share/icons/hicolor/48x48/apps/" + id + ".png",
      "share/icons/hicolor/128x128/apps/" + id + ".png",
      "share/icons/hicolor/256x256/apps/" + id + ".png",
      "share/man/man1/tallyvane.1.gz",
      "share/man/man1/tallyvane-cli.1.gz",
      "share/doc/tallyvane/changelog.gz",
      "share/doc/tallyvane/copyright",
      "share/doc/tallyvane-cli/changelog.gz",
      "share/doc/tallyvane-cli/copyright",
  };
  EXPECT_EQ(installedFiles(), expected);
}

TEST_F(InstalledTreeTest, InstalledCliRunsOnThePlatformLibcurl) {
  ASSERT_TRUE(installed_);
  const auto [versionStatus, version] = runInstalled("tallyvane-cli --version");
  EXPECT_EQ(versionStatus, 0);
  EXPECT_EQ(version, "tallyvane-cli " TALLYVANE_VERSION "\n");

  // The demo crawls its own site on loopback: libcurl was loaded and did the requests.
  const auto [demoStatus, demo] = runInstalled("tallyvane-cli demo");
  EXPECT_EQ(demoStatus, 0) << demo;
  EXPECT_NE(demo.find("Demo site running at http://127.0.0.1:"), std::string::npos) << demo;
  EXPECT_NE(demo.find("301"), std::string::npos) << demo;
  EXPECT_TRUE(fs::exists(home_ / ".config/Tallyvane/settings.prefs"));
}

TEST_F(InstalledTreeTest, ManualPagesHoldTheProgramsHelp) {
  ASSERT_TRUE(installed_);
  // Each command's line of the installed tallyvane-cli --help is on the page.
  const std::string cliPage = manualPage(prefix_ / "share/man/man1/tallyvane-cli.1.gz");
  const auto [status, help] = runInstalled("tallyvane-cli --help");
  ASSERT_EQ(status, 0) << help;
  const std::string commands = help.substr(help.find("Subcommands:"));
  size_t described = 0;
  for (size_t line = commands.find("\n  "); line != std::string::npos; line = commands.find("\n  ", line + 1)) {
    const size_t text = commands.find_first_not_of(' ', commands.find("  ", line + 3));
    const std::string description = commands.substr(text, commands.find('\n', text) - text);
    EXPECT_NE(cliPage.find(roff(description)), std::string::npos) << description;
    ++described;
  }
  EXPECT_GT(described, 0u) << help;

  const std::string desktopPage = manualPage(prefix_ / "share/man/man1/tallyvane.1.gz");
  EXPECT_NE(desktopPage.find("\\fB\\-\\-settings\\fR <FILE>"), std::string::npos) << desktopPage;
}

}  // namespace
}  // namespace tallyvane
