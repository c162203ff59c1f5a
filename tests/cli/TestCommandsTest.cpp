// The redirect tests and the low-memory check as a CI job runs them: messages, exit statuses,
// the per-URL lines, JUnit XML, and trust through --ca-bundle and --resolve.
#include <gtest/gtest.h>

#include <string>

#include "demo/ScriptedHttpServer.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

class TestCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const TlsIdentity identity = makeTlsIdentity({"old.localhost", "new.localhost", "shop.example"});
    server.enableTls(identity);
    ca = folder.write("ca.pem", identity.authorityPem).string();
    server.route("/old",
                 [this](const ReceivedRequest& r) { return redirectTo(r, 301, https("new.localhost", "/new")); });
    server.route("/new", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK"); });
  }

  std::pair<int, std::string> cli(const std::string& arguments) {
    return runCommand(std::string(TALLYVANE_CLI_PATH) + " --settings " + (folder / "settings.prefs").string() + " " +
                      arguments);
  }
  std::string https(const std::string& host, const std::string& path) const {
    return "https://" + host + ":" + std::to_string(server.port()) + path;
  }

  ScratchFolder folder;
  ScriptedHttpServer server;
  std::string ca;
};

TEST_F(TestCommandsTest, MappingTestChecksComeInTheDialogsOrder) {
  const std::string list = folder.write("list.txt", https("old.localhost", "/old") + "\n").string();
  const std::string bad = folder.write("bad.txt", "; rules\n  /old /new  ; no origin\n").string();
  const std::string good =
      folder.write("good.txt", https("old.localhost", "/old") + " " + https("new.localhost", "/new") + "\n").string();
  EXPECT_EQ(cli("mapping-test " + list), std::make_pair(1, std::string("Error: Please, enter a mapping rules file\n")));
  EXPECT_EQ(cli("mapping-test --rules none.txt nolist.txt").second, "Error: Cannot find mapping rules file! none.txt\n");
  EXPECT_EQ(cli("mapping-test --rules " + bad + " nolist.txt").second,
            "Error: Bad rule (rule with no from-url-domain AND no previous domain): /old /new (line 2)\n");
  EXPECT_EQ(cli("mapping-test --rules " + good + " nolist.txt").second, "Error: Input file does not exist! nolist.txt\n");
  EXPECT_EQ(cli("canonical-test " + list).second, "Error: Please, select a canonical URL form to test for\n");
  EXPECT_EQ(cli("canonical-test --form www " + list).first, 1);
  EXPECT_EQ(cli("canonical-test --form https nolist.txt").second, "Error: Input file does not exist! nolist.txt\n");
  EXPECT_EQ(cli("check --ca-bundle " + (folder / "none.pem").string() + " " + list).second,
            "Error: Cannot read the certificate authorities file: " + (folder / "none.pem").string() + "\n");
  EXPECT_EQ(cli("check --resolve shop.example:443 " + list).second,
            "Error: Invalid --resolve \"shop.example:443\": use HOST:PORT:ADDRESS\n");
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(TestCommandsTest, AFailedUrlFailsTheJobWithJUnitXmlAndAReloadableResultsFile) {
  server.route("/kept", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK"); });
  const std::string rules =
      folder
          .write("rules.txt", https("old.localhost", "/old") + " " + https("new.localhost", "/new") + "\n/kept /new\n")
          .string();
  const std::string list =
      folder.write("list.txt", https("old.localhost", "/old") + "\n" + https("old.localhost", "/kept") + "\n").string();
  const auto junit = folder / "junit.xml";
  const auto results = folder / "run.tvl";
  const auto [status, output] = cli("mapping-test -t 1 --ca-bundle " + ca + " --rules " + rules + " --junit " +
                                    junit.string() + " --save " + results.string() + " " + list);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("PASS: 1\nFAIL: 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\nPASS\t" + https("old.localhost", "/old") + "\t301\t"), std::string::npos) << output;
  // A FAIL tells the target its rule expected and what was met.
  const std::string met = "[not redirected],[bad final url]; expected " + https("new.localhost", "/new") + ", met " +
                          https("old.localhost", "/kept") + " 200";
  EXPECT_NE(output.find("\nFAIL " + met + "\t" + https("old.localhost", "/kept") + "\t200\t"), std::string::npos)
      << output;
  const std::string xml = ScratchFolder::read(junit);
  EXPECT_TRUE(
      xml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"mapping-test\" "
                      "tests=\"2\" failures=\"1\" time=\""))
      << xml;
  EXPECT_NE(xml.find("<testsuite name=\"mapping-test\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"0\""),
            std::string::npos);
  EXPECT_TRUE(xml.ends_with("</testcase>\n  </testsuite>\n</testsuites>\n"));
  EXPECT_NE(xml.find("<testcase classname=\"mapping-test\" name=\"" + https("old.localhost", "/old") + "\" time=\""),
            std::string::npos);
  EXPECT_NE(xml.find("<failure type=\"FAIL\" message=\"" + met + "\">" + met + "\n200 " + https("old.localhost", "/kept") +
                     "\n</failure>"),
            std::string::npos)
      << xml;

  // The list may come from standard input, as check's does.
  const auto [piped, pipedOutput] =
      runCommand("printf '" + https("old.localhost", "/old") + "\\n" + https("old.localhost", "/kept") + "\\n' | " +
                 TALLYVANE_CLI_PATH + " --settings " + (folder / "settings.prefs").string() +
                 " mapping-test -t 1 --format jsonl --ca-bundle " + ca + " --rules " + rules + " -");
  EXPECT_EQ(piped, 2) << pipedOutput;
  EXPECT_NE(pipedOutput.find("PASS: 1\nFAIL: 1\n"), std::string::npos) << pipedOutput;
  EXPECT_NE(pipedOutput.find("\"error\":null,\"verdict\":\"FAIL\",\"reasons\":[\"[not redirected]\",\"[bad final url]\"],"
                             "\"expected_target\":\"" + https("new.localhost", "/new") + "\""),
            std::string::npos)
      << pipedOutput;

  const auto report = folder / "standard.csv";
  ASSERT_EQ(cli("report " + results.string() + " --report standard=" + report.string()).first, 0);
  const std::string csv = ScratchFolder::read(report);
  EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBF\"Test Result\",\"URL\"")) << csv;
  EXPECT_NE(csv.find("\"FAIL[not redirected],[bad final url]\",\"" + https("old.localhost", "/kept")),
            std::string::npos);
  // A saved test's FAILs fail a job that asks, and make a report of their own.
  const auto failures = folder / "failures.csv";
  EXPECT_EQ(cli("report " + results.string() + " --fail-on 'Test Failed' --filter 15 --report standard=" +
                failures.string())
                .first,
            2);
  const std::string failed = ScratchFolder::read(failures);
  EXPECT_NE(failed.find(https("old.localhost", "/kept")), std::string::npos) << failed;
  EXPECT_EQ(failed.find(https("old.localhost", "/old")), std::string::npos) << failed;

  // The system's store does not know the test authority: nothing is trusted without --ca-bundle.
  const auto [untrusted, untrustedOutput] = cli("mapping-test -q --rules " + rules + " " + list);
  EXPECT_EQ(untrusted, 2);
  EXPECT_NE(untrustedOutput.find("FAIL: 2\n"), std::string::npos) << untrustedOutput;
}

TEST_F(TestCommandsTest, ResolveChecksTheNewServerUnderTheSitesOwnName) {
  server.route("/", [this](const ReceivedRequest& r) {
    return r.tls ? reply(r, "HTTP/1.1 200 OK") : redirectTo(r, 301, https("shop.example", "/"));
  });
  const std::string list =
      folder.write("list.txt", "http://shop.example:" + std::to_string(server.port()) + "/\n").string();
  const std::string resolve = " --resolve shop.example:" + std::to_string(server.port()) + ":127.0.0.1 ";
  const auto [status, output] = cli("canonical-test --form https --only-input --ca-bundle " + ca + resolve + list);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("PASS: 1\nFAIL: 0\n"), std::string::npos) << output;
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(server.requests()[1].header("Host"), "shop.example:" + std::to_string(server.port()));
  EXPECT_TRUE(server.requests()[1].tls);
}

TEST_F(TestCommandsTest, LowMemoryCheckWritesItsOneReportWhileCrawling) {
  const std::string list =
      folder.write("list.txt", https("old.localhost", "/old") + "\n" + https("old.localhost", "/old") + "\n").string();
  const auto report = folder / "low.csv";
  EXPECT_EQ(cli("check --low-memory " + list).second,
            "Error: Low-memory mode writes exactly one report: give one --report KIND=FILE\n");
  EXPECT_EQ(cli("check --low-memory --report raw=" + report.string() + " --save x.tvl " + list).first, 1);
  EXPECT_EQ(cli("check --low-memory --report raw=" + (folder / "no" / "low.csv").string() + " " + list).second,
            "Error: Cannot create output file: " + (folder / "no" / "low.csv").string() + "\n");
  EXPECT_EQ(server.requests().size(), 0u);

  const auto [status, output] =
      cli("check -t 2 --ca-bundle " + ca + " --low-memory --report redirects=" + report.string() + " " + list);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("URLs: 2\nResponses: 4\n"), std::string::npos) << output;
  const std::string csv = ScratchFolder::read(report);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);  // heading and the URL twice
}

}  // namespace
}  // namespace tallyvane::testing
