#include <gtest/gtest.h>

#include <string>

#include "config/UserAgentPresets.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"
#include "demo/ScriptedHttpServer.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

class SettingsCommandTest : public ::testing::Test {
 protected:
  std::pair<int, std::string> cli(const std::string& arguments) {
    return runCommand(std::string(TALLYVANE_CLI_PATH) + " --settings " + file.string() + " " + arguments);
  }

  ScratchFolder folder;
  std::filesystem::path file = folder / "settings.prefs";
};

TEST_F(SettingsCommandTest, ShowsTheEffectiveSettingsOfANewFile) {
  const auto [status, output] = cli("settings");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Settings file: " + file.string() + "\n"), std::string::npos);
  EXPECT_NE(output.find("\nThreads/NumThreads = 30\n"), std::string::npos);
  EXPECT_NE(output.find("\nRequests/TimeoutSeconds = 30\n"), std::string::npos);
  EXPECT_NE(output.find("\nProxy/Password = (not set)\n"), std::string::npos);
  EXPECT_NE(output.find("\nUserAgents/ua1 = Tallyvane#CRLF$Tallyvane#CRLF$Tallyvane\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(SettingsCommandTest, ThreadCountOutsideTheRangeIsRefusedAndNothingSaved) {
  ASSERT_EQ(cli("settings").first, 0);
  const std::string before = ScratchFolder::read(file);
  for (const char* value : {"0", "201", "''", "abc", "-5"}) {
    const auto [status, output] = cli(std::string("settings set Threads/NumThreads ") + value);
    EXPECT_EQ(status, 1) << value;
    EXPECT_EQ(output, "Error: Invalid number of threads. Please, set a number between 1 and 200\n") << value;
    EXPECT_EQ(ScratchFolder::read(file), before) << value;
  }
  for (const char* value : {"1", "200"}) {
    EXPECT_EQ(cli(std::string("settings set threads/numthreads ") + value).first, 0);
    EXPECT_NE(cli("settings").second.find(std::string("Threads/NumThreads = ") + value + "\n"), std::string::npos);
  }
}

TEST_F(SettingsCommandTest, PasswordIsNeverShownOrStoredInClear) {
  ASSERT_EQ(cli("settings set Proxy/Password 'hunter2'").first, 0);
  const std::string listed = cli("settings").second;
  EXPECT_NE(listed.find("\nProxy/Password = (set)\n"), std::string::npos);
  EXPECT_EQ(listed.find("hunter2"), std::string::npos);
  EXPECT_EQ(ScratchFolder::read(file).find("hunter2"), std::string::npos);
}

TEST_F(SettingsCommandTest, UnknownAndProgramKeptKeysAreRefused) {
  EXPECT_EQ(cli("settings set Nope/Key 1").first, 1);
  EXPECT_EQ(cli("settings set Recent/r1 /tmp/x").first, 1);
  EXPECT_EQ(cli("settings set Requests/CookiesDisabled 2").first, 1);
  EXPECT_EQ(cli("settings set HEADGET/HeaderRequestMethod 3").first, 1);
  EXPECT_EQ(cli("settings set UserAgents/UserAgent 20").first, 1);
  EXPECT_EQ(cli("settings set Requests/TimeoutSeconds 3601").second,
            "Error: Invalid time-out. Please, set a number of seconds between 0 (no time-out) and 3600\n");
  EXPECT_EQ(cli("settings set Requests/TimeoutSeconds 0").first, 0);
}

TEST_F(SettingsCommandTest, CheckSendsWhatTheSettingsSay) {
  ScriptedHttpServer server;
  ASSERT_EQ(cli("settings set UserAgents/UserAgent 11").first, 0);
  ASSERT_EQ(cli("settings set HEADGET/HeaderRequestMethod 1").first, 0);
  ASSERT_EQ(cli("settings set Requests/CustomHeaders 'X-Audit: yes#CRLF$X-Team: seo'").first, 0);
  ASSERT_EQ(cli("settings set Requests/UseCustomHeaders 1").first, 0);
  const auto list = folder.write("list.txt", server.url("/page") + "\n");
  const auto [status, output] = cli("check " + list.string());
  EXPECT_EQ(status, 0) << output;
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].header("User-Agent"), defaultUserAgentPresets()[11].httpText);
  EXPECT_EQ(requests[0].header("X-Audit"), "yes");
  EXPECT_EQ(requests[0].header("X-Team"), "seo");
}

}  // namespace
}  // namespace tallyvane::testing
