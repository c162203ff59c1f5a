#include <gtest/gtest.h>
#include <string>

#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"

namespace tallyvane::testing {
namespace {

// Runs tallyvane-cli with a settings file of the test's own.
std::pair<int, std::string> cli(const std::string& arguments) {
  const ScratchFolder folder;
  return runCommand(std::string(TALLYVANE_CLI_PATH) + " --settings " + (folder / "settings.prefs").string() + " " +
                    arguments);
}

TEST(CheckCommandTest, PrintsEveryChainHopByHop) {
  TestHttpServer server;
  server.route("/old", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/new"); });
  server.route("/new", [](const ReceivedRequest& r) {
    return reply(r, "HTTP/1.1 200 OK", {"Content-Type: text/html"}, "12345");
  });
  const auto [status, output] =
      cli("check " + server.url("/old") + " " + server.url("/old") + " ftp://x/");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("   0  301  Redirect"), std::string::npos) << output;
  EXPECT_NE(output.find("   1  200  OK                        size 5 "), std::string::npos) << output;
  EXPECT_NE(output.find("text/html                 " + server.url("/new")), std::string::npos) << output;
  EXPECT_NE(output.find("chain: single redirect, 1 redirect\n"), std::string::npos) << output;
  EXPECT_NE(output.find("ftp://x/\n  skipped"), std::string::npos) << output;
  EXPECT_EQ(server.requestCount("/old"), 1u);  // the repeated URL is checked once
}

TEST(CheckCommandTest, WithoutUrlsIsAUsageError) {
  const auto [status, output] = cli("check");
  EXPECT_NE(status, 0);
  EXPECT_NE(output.find("URL"), std::string::npos);
}

}  // namespace
}  // namespace tallyvane::testing
