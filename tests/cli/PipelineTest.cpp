// tallyvane-cli as a pipeline uses it: lines in a machine format on stdout, a gate on the exit
// status, request options for one run, a report on stdout.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/CliFixture.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

using Json = nlohmann::json;

class PipelineTest : public CliFixture {
 protected:
  void SetUp() override {
    server.route("/moved", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/gone"); });
    server.fixed("/gone", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    // A status text and a header that no JSON or CSV writer may pass on as they are.
    server.fixed(
        "/hostile",
        "HTTP/1.1 200 \"Fine\", \xff\xfe\x01 \\ <ok>\r\nX-Robots-Tag: noindex, \"x\"\r\nContent-Length: 0\r\n\r\n");
    list = folder.write("list.txt", server.url("/moved") + "\n" + server.url("/hostile") + "\n");
  }

  // Runs the command with stdout and stderr apart: {status, stdout}; stderr lands in errors.
  std::pair<int, std::string> run(const std::string& arguments) {
    const auto errorFile = folder / "stderr.txt";
    auto [status, out] = runCommand("(" + command(arguments) + " 2>" + errorFile.string() + ")");
    errors = ScratchFolder::read(errorFile);
    return {status, out};
  }

  static std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path list;
  std::string errors;
};

TEST_F(PipelineTest, JsonLinesParseBackFieldByFieldWhateverTheServerSent) {
  const auto [status, out] = run("check -t 1 --format jsonl " + list.string());
  ASSERT_EQ(status, 0) << out << errors;
  const auto lines = linesOf(out);
  ASSERT_EQ(lines.size(), 2u) << out;
  // The counts went to stderr, beside the progress.
  EXPECT_NE(errors.find("All URLs: 2\n"), std::string::npos) << errors;

  std::map<std::string, Json> byUrl;
  for (const std::string& line : lines) {
    const Json object = Json::parse(line);  // strict: throws on invalid JSON or UTF-8
    byUrl[object.at("url").get<std::string>()] = object;
  }
  const Json& moved = byUrl.at(server.url("/moved"));
  EXPECT_EQ(moved["status_code"], 301);
  EXPECT_EQ(moved["redirects"], 1);
  EXPECT_EQ(moved["final_url"], server.url("/gone"));
  EXPECT_EQ(moved["final_status_code"], 404);
  EXPECT_EQ(moved["chain"], "redirect");
  ASSERT_EQ(moved["hops"].size(), 2u);
  EXPECT_EQ(moved["hops"][0]["location"], server.url("/gone"));
  EXPECT_EQ(moved["hops"][1]["status_text"], "Not Found");
  EXPECT_TRUE(moved["hops"][1]["location"].is_null());

  const Json& hostile = byUrl.at(server.url("/hostile"));
  EXPECT_EQ(hostile["status_code"], 200);
  EXPECT_TRUE(hostile["chain"].is_null());
  EXPECT_EQ(hostile["x_robots_tag"], "[noindex, \"x\"]");
  const std::string text = hostile["status_text"];
  EXPECT_EQ(text.substr(0, 8), "\"Fine\", ");
  EXPECT_NE(text.find("\\ <ok>"), std::string::npos) << text;
  EXPECT_FALSE(out.find('\x01') != std::string::npos) << "a control byte goes out escaped";
}

TEST_F(PipelineTest, JsonHopsAreTheStandardReportsRowsForALoopToo) {
  server.route("/loop", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/loop"); });
  const auto loop = folder.write("loop.txt", server.url("/moved") + "\n" + server.url("/loop") + "\n");
  const auto [status, out] = run("check -t 1 --format jsonl " + loop.string());
  ASSERT_EQ(status, 0) << errors;
  std::vector<std::string> hops;  // "URL CODE"
  for (const std::string& line : linesOf(out)) {
    const Json object = Json::parse(line);
    for (const Json& hop : object.at("hops")) {
      const Json& code = hop.at("status_code");
      hops.push_back(hop.at("url").get<std::string>() + " " + (code.is_null() ? "" : std::to_string(code.get<int>())));
    }
  }
  const auto [reportStatus, report] = run("check -t 1 --report standard=- " + loop.string());
  ASSERT_EQ(reportStatus, 0) << errors;
  std::vector<std::string> rows;  // "URL","Type","Code",... as "URL CODE"
  for (const std::string& row : linesOf(report)) {
    const size_t type = row.find("\",\"") + 3, code = row.find("\",\"", type) + 3;
    rows.push_back(row.substr(1, type - 4) + " " + row.substr(code, row.find('"', code) - code));
  }
  rows.erase(rows.begin());  // the heading
  // The loop's repeated last answer is no hop, as it is no row.
  EXPECT_EQ(hops, rows);
}

TEST_F(PipelineTest, CsvAndTsvStartWithAHeadingAndQuoteWhatNeedsIt) {
  auto [status, csv] = run("check -t 1 --format CSV " + list.string());
  ASSERT_EQ(status, 0) << errors;
  // Every record ends in CRLF, and no field holds a bare line break.
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\r'), 3) << csv;
  EXPECT_TRUE(csv.ends_with("\r\n")) << csv;
  std::erase(csv, '\r');
  auto lines = linesOf(csv);
  ASSERT_EQ(lines.size(), 3u) << csv;
  EXPECT_EQ(lines[0],
            "URL,Status Code,Status,# Redirects,Final URL,Final Status Code,Chain,Type,Size,Response Time (ms),"
            "X-Robots-Tag");
  EXPECT_EQ(lines[1].substr(0, lines[1].find(",,")),
            server.url("/moved") + ",301,Redirect,1," + server.url("/gone") + ",404,redirect");
  EXPECT_NE(lines[2].find(",\"\"\"Fine\"\", "), std::string::npos) << lines[2];  // quotes doubled, field quoted
  EXPECT_TRUE(lines[2].ends_with(",\"[noindex, \"\"x\"\"]\"")) << lines[2];

  const auto [tsvStatus, tsv] = run("check -t 1 --format tsv " + list.string());
  ASSERT_EQ(tsvStatus, 0) << errors;
  lines = linesOf(tsv);
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 10) << line;

  // -q silences the progress, not the lines a --format asks for.
  const auto [quietStatus, quiet] = run("check -q -t 1 --format tsv " + list.string());
  ASSERT_EQ(quietStatus, 0) << errors;
  const auto quietLines = linesOf(quiet);
  ASSERT_EQ(quietLines.size(), lines.size()) << quiet;
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(quietLines[i].substr(0, 30), lines[i].substr(0, 30));
  EXPECT_EQ(errors.find(" URLs "), std::string::npos) << errors;
}

TEST_F(PipelineTest, FailOnClassesSetTheExitStatusAndCountOnStderr) {
  EXPECT_EQ(run("check -q -t 1 --fail-on 5xx,loop " + list.string()).first, 0) << errors;
  EXPECT_EQ(errors.find("Failed on"), std::string::npos) << errors;

  EXPECT_EQ(run("check -q -t 1 --fail-on Redirect-To-4XX,noindex,3xx " + list.string()).first, 2);
  EXPECT_NE(errors.find("Failed on Redirect-To-4XX: 1\nFailed on noindex: 1\nFailed on 3xx: 1\n"), std::string::npos)
      << errors;

  // A filter's name works too, and so does a saved run.
  const auto results = folder / "run.tvl";
  ASSERT_EQ(run("check -q -t 1 --save " + results.string() + " " + list.string()).first, 0) << errors;
  EXPECT_EQ(run("report " + results.string() + " --fail-on '301 redirects'").first, 2) << errors;
  EXPECT_EQ(run("report " + results.string() + " --fail-on 'page not found'").first, 0) << errors;

  EXPECT_EQ(run("check --fail-on 6xx " + list.string()).first, 1);
  EXPECT_NE(errors.find("Unknown --fail-on class \"6xx\": use 3xx, 4xx"), std::string::npos) << errors;
  EXPECT_EQ(server.requestCount("/moved"), 3u) << "a wrong option makes no request";
}

TEST_F(PipelineTest, RunOptionsReachTheRequestsAndNeverTheSettingsFile) {
  ASSERT_EQ(cli("settings set Requests/CustomHeaders 'X-Stored: 1'").first, 0);
  ASSERT_EQ(cli("settings set Requests/UseCustomHeaders 1").first, 0);
  const std::string settingsBefore = ScratchFolder::read(folder / "settings.prefs");
  const auto one = folder.write("one.txt", server.url("/page") + "\n");

  ASSERT_EQ(
      run("check -q --method get --user-agent 'Audit/2.0 (ci)' -H 'X-Audit: 7' --header 'X-Team: seo' " + one.string())
          .first,
      0)
      << errors;
  const ReceivedRequest sent = server.requests().back();
  EXPECT_EQ(sent.method, "GET");
  EXPECT_EQ(sent.header("User-Agent"), "Audit/2.0 (ci)");
  EXPECT_EQ(sent.header("X-Audit"), "7");
  EXPECT_EQ(sent.header("X-Team"), "seo");
  EXPECT_FALSE(sent.hasHeader("X-Stored")) << "the run's headers replace the stored ones";

  ASSERT_EQ(run("check -q --preset 2 " + one.string()).first, 0) << errors;
  EXPECT_NE(server.requests().back().header("User-Agent").find("Googlebot"), std::string::npos);
  ASSERT_EQ(run("check -q " + one.string()).first, 0);
  EXPECT_EQ(server.requests().back().method, "HEAD");
  EXPECT_EQ(server.requests().back().header("X-Stored"), "1");
  EXPECT_EQ(ScratchFolder::read(folder / "settings.prefs"), settingsBefore);

  for (const char* wrong : {"--method post", "--cookies maybe", "--preset 20", "--proxy 'http://a b'", "-H 'NoColon'",
                            "--user-agent x --preset 1"}) {
    EXPECT_EQ(run("check " + std::string(wrong) + " " + one.string()).first, 1) << wrong;
  }
}

TEST_F(PipelineTest, AReportGoesToStdoutInPlaceOfTheLines) {
  const auto file = folder / "standard.csv";
  ASSERT_EQ(run("check -t 1 " + list.string() + " --sort url --report standard=" + file.string()).first, 0);
  const auto [status, out] = run("check -t 1 " + list.string() + " --sort url --report standard=-");
  ASSERT_EQ(status, 0) << errors;
  // Response times differ between runs: compare the rows' URL fields.
  const auto expected = linesOf(ScratchFolder::read(file));
  const auto got = linesOf(out);
  ASSERT_EQ(got.size(), expected.size()) << out;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].substr(0, 30), expected[i].substr(0, 30));
  EXPECT_NE(errors.find("All URLs: 2\n"), std::string::npos);
}

TEST_F(PipelineTest, ProgressOnAPipeIsPlainLinesWithTheListsTotal) {
  const auto csv = folder.write(
      "export.csv", "name,link\na,\"" + server.url("/moved") + "\"\nb," + server.url("/hostile") + "\nc,not a link\n");
  ASSERT_EQ(run("check -t 1 " + csv.string()).first, 0) << errors;
  // The records that hold a URL, counted before or while they are checked; the last line comes
  // when the crawl ends, without escape codes.
  EXPECT_NE(errors.find("2/2 URLs (100.0%)  3 responses  "), std::string::npos) << errors;
  EXPECT_NE(errors.find(" 1 failed\n"), std::string::npos) << errors;  // the redirect to a 404
  EXPECT_EQ(errors.find_first_of("\r\x1b"), std::string::npos) << errors;

  ASSERT_EQ(run("check -q -t 1 " + csv.string()).first, 0);
  EXPECT_EQ(errors.find(" URLs "), std::string::npos) << errors;
}

}  // namespace
}  // namespace tallyvane::testing
