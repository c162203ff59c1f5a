#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

#include "config/Settings.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/Sitemaps.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

using CheckCommandTest = CliFixture;

TEST_F(CheckCommandTest, PrintsFilterCountsAndOneLinePerUrl) {
  server.route("/old", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/new"); });
  server.fixed("/gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  const auto list = folder.write(
      "list.txt", server.url("/old") + "\n\n  " + server.url("/old") + "  \nftp://x/\n" + server.url("/gone") + "\n");
  const auto [status, output] = cli("check -q -t 2 " + list.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("All URLs: 2\n"), std::string::npos) << output;
  EXPECT_NE(output.find("301 Redirects: 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Page Not Found: 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Success: Tallyvane has finished checking all URLs\n"), std::string::npos) << output;
  EXPECT_EQ(output.find(server.url("/gone") + "\t"), std::string::npos) << "quiet prints no rows";
  EXPECT_EQ(server.requestCount("/old"), 1u);  // the repeated URL is checked once

  const auto [loudStatus, loud] = cli("check " + list.string());
  EXPECT_EQ(loudStatus, 0);
  EXPECT_NE(loud.find(server.url("/old") + "\t301\tRedirect\t1\t" + server.url("/new") + "\n"), std::string::npos)
      << loud;
  EXPECT_NE(loud.find(server.url("/gone") + "\t404\tNot Found\t0\t\n"), std::string::npos) << loud;
  // The list's four lines done (one twice, one not a web address), and the answers to the others.
  EXPECT_NE(loud.find("4/4 URLs (100.0%)  3 responses  "), std::string::npos) << loud;
}

TEST_F(CheckCommandTest, TimeoutOptionEndsASilentServersRequest) {
  server.route("/silent", [](const ReceivedRequest&) { return ScriptedReply{"", std::chrono::milliseconds(0), true}; });
  const auto list = folder.write("list.txt", server.url("/silent") + "\n" + server.url("/fine") + "\n");
  const auto [status, output] = cli("check --timeout 1 " + list.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("No Response / Timeout: 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find(server.url("/silent") + "\t\tLibCurl:Operation timed out after"), std::string::npos) << output;
  EXPECT_EQ(cli("check --timeout 3601 " + list.string()).second,
            "Error: Invalid time-out. Please, set a number of seconds between 0 (no time-out) and 3600\n");
}

TEST_F(CheckCommandTest, PolitenessOptionsOverrideTheSettingsFileForOneRun) {
  const std::string port = std::to_string(server.port());
  std::atomic<int> answers{0};
  server.route("/busy", [&answers](const ReceivedRequest& r) {
    if (answers++ == 0) return reply(r, "HTTP/1.1 429 Too Many Requests", {"Retry-After: 1"});
    ScriptedReply slow = reply(r, "HTTP/1.1 200 OK");
    slow.delay = std::chrono::milliseconds(30);
    return slow;
  });
  std::string lines;
  for (int i = 0; i < 6; ++i) lines += "http://shop.localhost:" + port + "/busy?" + std::to_string(i) + "\n";
  const auto list = folder.write("list.txt", lines);
  ASSERT_EQ(cli("settings set Threads/MaxPerHost 5").first, 0);
  const auto [status, output] = cli("check -t 6 --max-per-host 1 --delay 100 --retry-after-limit 5 " + list.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("2XX - Success: 6\n"), std::string::npos) << output;
  EXPECT_EQ(server.requests().size(), 7u);  // the one 429 asked again
  EXPECT_EQ(server.mostInFlight("shop.localhost"), 1);
  EXPECT_NE(cli("settings").second.find("\nThreads/MaxPerHost = 5\n"), std::string::npos) << "the file is unchanged";

  for (const auto& [option, message] : {std::pair{"--max-per-host 201", kInvalidMaxPerHostMessage},
                                        std::pair{"--delay 60001", kInvalidHostDelayMessage},
                                        std::pair{"--retry-after-limit -1", kInvalidRetryAfterLimitMessage}}) {
    EXPECT_EQ(cli(std::string("check ") + option + " " + list.string()).second,
              "Error: " + std::string(message) + "\n");
  }
  EXPECT_EQ(server.requests().size(), 7u);
}

TEST_F(CheckCommandTest, ReadsLinesFromStandardInput) {
  const auto [status, output] =
      runCommand("printf '" + server.url("/a") + "\\r\\n" + server.url("/b") + "\\n' | " + TALLYVANE_CLI_PATH +
                 " --settings " + (folder / "settings.prefs").string() + " check -q -");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("All URLs: 2\n"), std::string::npos) << output;
  EXPECT_EQ(server.requestCount("/a"), 1u);
  EXPECT_EQ(server.requestCount("/b"), 1u);
}

TEST_F(CheckCommandTest, ReportsAndResultsFileFollowFilterAndSort) {
  server.fixed("/b", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  server.fixed("/a", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  server.fixed("/ok", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const auto list =
      folder.write("list.txt", server.url("/b") + "\n" + server.url("/ok") + "\n" + server.url("/a") + "\n");
  const auto report = folder / "missing.csv";
  const auto results = folder / "run.tvl";
  const auto [status, output] = cli("check -q -t 1 " + list.string() + " --report 'raw=" + report.string() +
                                    "' --save " + results.string() + " --filter 'Page Not Found' --sort 'URL:desc'");
  ASSERT_EQ(status, 0) << output;
  const std::string rows = ScratchFolder::read(report);
  EXPECT_EQ(rows, "\xEF\xBB\xBF\"URL\",\"Raw Response Header\"\n\"" + server.url("/b") +
                      "\",\"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n\"\n\"" + server.url("/a") +
                      "\",\"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n\"\n");

  // The results file holds every URL, whatever the reports' filter; reports from it match.
  const auto fromFile = folder / "again.csv";
  // ":DESC" as ":desc": the order's name in any case too.
  const auto [reportStatus, reportOutput] =
      cli("report " + results.string() + " --report raw=" + fromFile.string() + " --filter 10 --sort 0:DESC");
  ASSERT_EQ(reportStatus, 0) << reportOutput;
  EXPECT_EQ(ScratchFolder::read(fromFile), rows);
  const auto all = folder / "all.csv";
  ASSERT_EQ(cli("report " + results.string() + " --report standard=" + all.string()).first, 0);
  const std::string standard = ScratchFolder::read(all);
  EXPECT_EQ(std::count(standard.begin(), standard.end(), '\n'), 4);
}

TEST_F(CheckCommandTest, RedirectsToErrorsAreCountedAfterTheFormerCountsOnlyWhenThereAreAny) {
  server.route("/old", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/gone"); });
  server.fixed("/gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  server.fixed("/fine", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  const auto counts = [](const std::string& output) { return output.substr(output.find("All URLs: ")); };
  const auto fine = folder.write("fine.txt", server.url("/fine") + "\n");
  const auto [fineStatus, fineOutput] = cli("check -q " + fine.string());
  ASSERT_EQ(fineStatus, 0) << fineOutput;
  EXPECT_EQ(counts(fineOutput),
            "All URLs: 1\nHTTP URLs: 1\nHTTPS URLs: 0\n2XX - Success: 1\n3XX - Redirects: 0\n301 Redirects: 0\n"
            "302 Redirects: 0\nRedirect Chains: 0\nRedirect Loops: 0\n4xx Client Errors: 0\nPage Not Found: 0\n"
            "5xx Server Errors: 0\nSlow Pages: 0\nNo Response / Timeout: 0\n"
            "Lines skipped (not http:// or https://): 0\n");

  const auto list = folder.write("list.txt", server.url("/old") + "\n" + server.url("/fine") + "\n");
  const auto report = folder / "broken.csv";
  const auto [status, output] =
      cli("check -q -t 1 " + list.string() + " --filter 'redirects to errors' --report redirects=" + report.string());
  ASSERT_EQ(status, 0) << output;
  EXPECT_TRUE(
      counts(output).ends_with("No Response / Timeout: 0\nLines skipped (not http:// or https://): 0\n"
                               "Redirects to Errors: 1\n"))
      << output;
  const std::string rows = ScratchFolder::read(report);
  EXPECT_NE(rows.find(server.url("/old")), std::string::npos) << rows;
  EXPECT_EQ(rows.find(server.url("/fine")), std::string::npos) << rows;
  EXPECT_EQ(cli("check -q " + list.string() + " --fail-on 14").first, 2);
}

TEST_F(CheckCommandTest, TestFailedIsRefusedWithoutATestsResults) {
  const auto list = folder.write("list.txt", server.url("/a") + "\n");
  const std::string refused =
      "Error: \"Test Failed\" needs a test's results: use it with mapping-test or canonical-test, or on the results "
      "file of one\n";
  EXPECT_EQ(cli("check " + list.string() + " --filter 'Test Failed'"), (std::pair<int, std::string>{1, refused}));
  EXPECT_EQ(cli("check " + list.string() + " --fail-on 4xx,15"), (std::pair<int, std::string>{1, refused}));
  const auto low = folder / "low.csv";
  EXPECT_EQ(cli("check --low-memory --report standard=" + low.string() + " --filter 15 " + list.string()),
            (std::pair<int, std::string>{1, refused}));
  EXPECT_FALSE(std::filesystem::exists(low));
  EXPECT_EQ(server.requests().size(), 0u);

  const auto results = folder / "run.tvl";
  ASSERT_EQ(cli("check -q " + list.string() + " --save " + results.string()).first, 0);
  const auto [status, output] = cli("report " + results.string() + " --fail-on 'test failed'");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(output.ends_with(refused)) << output;
}

TEST_F(CheckCommandTest, HtmlSummaryOfTheWholeResultsAndNotInLowMemoryMode) {
  server.fixed("/gone", "HTTP/1.1 404 <b>Gone</b>\r\nContent-Length: 0\r\n\r\n");
  const auto list = folder.write("list.txt", server.url("/gone") + "\n" + server.url("/fine") + "\n");
  const auto summary = folder / "summary.html";
  const auto [status, output] = cli("check -q " + list.string() + " --filter 10 --report html=" + summary.string());
  ASSERT_EQ(status, 0) << output;
  const std::string html = ScratchFolder::read(summary);
  EXPECT_NE(html.find("<td>All URLs</td><td class=\"n\">2</td>"), std::string::npos);  // not just the filter's
  EXPECT_NE(html.find("&lt;b&gt;Gone&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<b>Gone"), std::string::npos);

  EXPECT_EQ(cli("check --low-memory --report html=" + (folder / "low.html").string() + " " + list.string()).second,
            "Error: The HTML summary needs the results of the whole crawl: it cannot be written in low-memory "
            "mode\n");
}

TEST_F(CheckCommandTest, WrongOutputOptionsStopBeforeAnyRequest) {
  const auto list = folder.write("list.txt", server.url("/a") + "\n");
  EXPECT_EQ(cli("check " + list.string() + " --report pdf=x.pdf").second,
            "Error: Invalid report \"pdf=x.pdf\": use KIND=FILE with KIND standard, redirects, links, raw or html\n");
  EXPECT_EQ(cli("check " + list.string() + " --filter 16").first, 1);
  EXPECT_EQ(cli("check " + list.string() + " --sort Colour").first, 1);
  EXPECT_EQ(cli("report " + (folder / "none.tvl").string() + " --report raw=x.csv").second,
            "Error: Cannot open results file.\n");
  // Outputs that could not be written are refused before the first request, not hours later.
  const auto missing = folder / "none" / "r.csv";
  EXPECT_EQ(cli("check " + list.string() + " --report standard=" + missing.string()),
            (std::pair<int, std::string>{1, "Error: Cannot create output file: " + missing.string() + "\n"}));
  EXPECT_EQ(cli("check " + list.string() + " --save " + list.string()).second,
            "Error: Cannot create output file: " + list.string() + " (it is the input list)\n");
  const auto twice = folder / "." / "r.csv";
  EXPECT_EQ(cli("check " + list.string() + " --report standard=" + (folder / "r.csv").string() +
                " --report raw=" + twice.string())
                .second,
            "Error: Cannot create output file: " + twice.string() + " (it is named twice)\n");
  EXPECT_EQ(cli("check " + list.string() + " --save " + folder.path().string()).second,
            "Error: Cannot save! There exists a folder with the same name.\n");
  EXPECT_EQ(ScratchFolder::read(list), server.url("/a") + "\n");
  EXPECT_EQ(server.requests().size(), 0u);

  // A column goes by its list title or its report heading, in any case.
  EXPECT_EQ(cli("check -q " + list.string() + " --sort code:DESC").first, 0);
  EXPECT_EQ(cli("check -q " + list.string() + " --sort 'REDIRECT TO FINAL URL'").first, 0);
}

TEST_F(CheckCommandTest, DemoWritesItsReportsAndResultsFile) {
  const auto [status, output] = cli("demo -q");
  ASSERT_EQ(status, 0) << output;
  const size_t at = output.find("Reports and results file written to ");
  ASSERT_NE(at, std::string::npos) << output;
  const std::filesystem::path written = output.substr(at + 36, output.find('\n', at) - at - 36);
  for (const char* name : {"standard.csv", "redirects.csv", "links.csv", "raw-headers.csv", "demo.tvl"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(written / name)) << name;
  }
  EXPECT_NE(output.find("All URLs: 12\n"), std::string::npos);
  EXPECT_NE(output.find("Redirect Loops: 1\n"), std::string::npos);
  std::filesystem::remove_all(written);
}

TEST_F(CheckCommandTest, BadInputAndUsageEndWithStatusOne) {
  EXPECT_EQ(cli("check " + (folder / "missing.txt").string()),
            (std::pair<int, std::string>{
                1, "Error: Input file does not exist! " + (folder / "missing.txt").string() + "\n"}));
  const auto feed = folder.write("feed.xml", "<rss><channel><item/></channel></rss>");
  EXPECT_EQ(cli("check " + feed.string()),
            (std::pair<int, std::string>{1, "Error: Not an XML sitemap. No <urlset> tag.\n"}));
  EXPECT_EQ(cli("check -q " + server.url("/gone.xml")),
            (std::pair<int, std::string>{
                1, "Error: There was an error trying to load " + server.url("/gone.xml") + ": 404 Not Found\n"}));
  const auto list = folder.write("list.txt", server.url("/a"));
  EXPECT_EQ(cli("check -t 0 " + list.string()).second,
            "Error: Invalid number of threads. Please, set a number between 1 and 200\n");
  EXPECT_EQ(cli("check"),
            (std::pair<int, std::string>{1, "Error: INPUT is required (see \"tallyvane-cli --help\")\n"}));
  EXPECT_EQ(cli("check --colour " + list.string()).first, 1);
  EXPECT_EQ(cli("chekc " + list.string()),
            (std::pair<int, std::string>{1,
                                         "Error: Unknown command \"chekc\": use check, mapping-test, canonical-test, "
                                         "report, diff, merge, demo or settings (see \"tallyvane-cli --help\")\n"}));
  EXPECT_EQ(cli("--version"), (std::pair<int, std::string>{0, "tallyvane-cli 0.1.0\n"}));

  // A list without any http or https URL is an error, not an empty success, and writes nothing.
  const auto report = folder.write("kept.csv", "an earlier report");
  const auto none = folder.write("none.txt", "ftp://files.example/\nwww.example.com\n\n");
  const auto [status, output] = cli("check -q " + none.string() + " --report standard=" + report.string());
  EXPECT_EQ(status, 1);
  // Only its error, no success before it and no counts: the lines it skipped are in the message.
  EXPECT_EQ(output, "Error: No URL found in " + none.string() + " (2 lines are not an http:// or https:// URL)\n");
  EXPECT_EQ(ScratchFolder::read(report), "an earlier report");
}

TEST_F(CheckCommandTest, SitemapsByUrlAreFetchedAndTheOnesThatFailAreNamed) {
  const auto serve = [&](const std::string& path, const std::string& body) {
    server.route(path, [body](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK", {}, body); });
  };
  serve("/robots.txt", "User-agent: *\nSitemap: " + server.url("/sitemap_index.xml") + "\n");
  serve("/sitemap_index.xml", sitemapIndexOf({server.url("/pages.xml.gz"), server.url("/missing.xml")}));
  serve("/pages.xml.gz", gzipped(urlsetOf({server.url("/a"), server.url("/b")})));
  const auto report = folder / "standard.csv";
  const auto [status, output] = cli("check HTTP://127.0.0.1:" + std::to_string(server.port()) +
                                    "/robots.txt --report standard=" + report.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Warning: Not every sitemap could be read; the URLs of the others are checked:\n" +
                        server.url("/missing.xml") + ": 404 Not Found\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("All URLs: 2\n"), std::string::npos) << output;
  EXPECT_NE(output.find("2/2 URLs (100.0%)"), std::string::npos) << output;  // the total, once fetched
  EXPECT_NE(ScratchFolder::read(report).find(server.url("/b")), std::string::npos);

  // An index file on disk names sitemaps to fetch as well.
  const auto index = folder.write("index.xml", sitemapIndexOf({server.url("/pages.xml.gz")}));
  const auto [fileStatus, fileOutput] = cli("check " + index.string());
  EXPECT_EQ(fileStatus, 0) << fileOutput;
  EXPECT_NE(fileOutput.find(server.url("/a") + "\t404\t"), std::string::npos) << fileOutput;
}

TEST_F(CheckCommandTest, ASettingsFolderThatCannotBeCreatedDoesNotFailTheCheck) {
  folder.write("blocker", "a file where the settings folder should be");
  const auto list = folder.write("list.txt", server.url("/a") + "\n");
  const auto [status, output] = runCommand(std::string(TALLYVANE_CLI_PATH) + " --settings " +
                                           (folder / "blocker/settings.prefs").string() + " check -q " + list.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output.find("Error: Cannot create Tallyvane settings folder\n"),
            output.rfind("Error: Cannot create Tallyvane settings folder\n"));
  EXPECT_NE(output.find("Error: Cannot create Tallyvane settings folder\n"), std::string::npos) << output;
  EXPECT_EQ(server.requests().at(0).header("User-Agent"), "Tallyvane");
}

}  // namespace
}  // namespace tallyvane::testing
