// Runs that survive a kill and runs split over machines: resume from checkpoints, shards, merge
// and diff of results files.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/CliFixture.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace fs = std::filesystem;
namespace {

constexpr int kListSize = 60;

class RunsTest : public CliFixture {
 protected:
  void SetUp() override {
    // /p/N: a third redirect to /final/N, a third answer 200, a third 404; everything else 200.
    server.fallback([](const ReceivedRequest& r) {
      const std::string path = r.path();
      if (path.starts_with("/p/")) {
        const int n = std::stoi(path.substr(3));
        if (n % 3 == 0) return redirectTo(r, 301, "/final/" + std::to_string(n));
        if (n % 3 == 2) return reply(r, "HTTP/1.1 404 Not Found");
      }
      return reply(r, "HTTP/1.1 200 OK");
    });
    std::string urls;
    for (int n = 0; n < kListSize; ++n) urls += server.url("/p/" + std::to_string(n)) + "\n";
    urls += server.url("/p/7") + "\n";  // listed twice
    list = folder.write("list.txt", urls);
  }

  // Each URL of a results file with what a run may not change of it (no response times): URL,
  // status code, status, redirects, final URL, final status, chain. Fails on a URL found twice.
  std::map<std::string, std::string> resultsOf(const fs::path& file) {
    const auto [status, out] = runCommand("(" + command("report --format tsv " + file.string()) + " 2>/dev/null)");
    EXPECT_EQ(status, 0) << out;
    std::map<std::string, std::string> results;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);  // heading
    while (std::getline(lines, line)) {
      std::vector<std::string> fields;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
      fields.resize(7);
      std::string kept;
      for (const std::string& field : fields) kept += field + "|";
      EXPECT_TRUE(results.emplace(fields[0], kept).second) << fields[0] << " is in " << file << " twice";
    }
    return results;
  }

  std::set<std::string> listUrls() const {
    std::set<std::string> urls;
    for (int n = 0; n < kListSize; ++n) urls.insert(server.url("/p/" + std::to_string(n)));
    return urls;
  }

  static std::set<std::string> keysOf(const std::map<std::string, std::string>& results) {
    std::set<std::string> keys;
    for (const auto& [url, ignored] : results) keys.insert(url);
    return keys;
  }

  // Shell lines that wait (ten seconds at most) until file exists.
  static std::string waitFor(const fs::path& file) {
    return "for i in $(seq 200); do [ -e " + file.string() + " ] && break; sleep 0.05; done";
  }

  fs::path list;
};

TEST_F(RunsTest, ResumeAfterKillNineChecksOnlyWhatTheCheckpointLacks) {
  // One URL holds its worker until the run is killed, the first time it is asked for.
  std::atomic<bool> heldOnce{false};
  server.route("/p/40", [&](const ReceivedRequest& r) {
    if (heldOnce.exchange(true)) return reply(r, "HTTP/1.1 404 Not Found");
    folder.write("holding", "");
    return ScriptedReply{"", std::chrono::milliseconds(0), true};
  });
  const auto run = folder / "run.tvl";
  const auto copy = folder / "checkpoint.tvl";
  const auto [killed, killedOutput] =
      runCommand("(" + command("check -q -t 2 --save " + run.string() + " --checkpoint 0.001 " + list.string()) +
                 " >/dev/null 2>&1 & pid=$!; " + waitFor(folder / "holding") + "; " + waitFor(run) +
                 "; kill -9 $pid; wait $pid; cp " + run.string() + " " + copy.string() + ")");
  ASSERT_TRUE(fs::exists(copy)) << "no checkpoint was written before the kill: " << killedOutput;
  const auto checkpointed = resultsOf(copy);
  ASSERT_FALSE(checkpointed.empty());
  EXPECT_FALSE(checkpointed.contains(server.url("/p/40"))) << "a URL still being checked cannot be in a checkpoint";

  const auto [status, output] = cli("check -q -t 2 --resume " + run.string() + " " + list.string());
  ASSERT_EQ(status, 0) << output;
  const auto resumed = resultsOf(run);
  EXPECT_EQ(keysOf(resumed), listUrls());
  for (const auto& [url, result] : checkpointed) {
    EXPECT_EQ(resumed.at(url), result) << "a checkpointed result must be kept as it was";
    EXPECT_EQ(server.requestCount(url.substr(server.origin().size())), 1u) << url << " was checked again";
  }
  // Every result is the server's: the same as one uninterrupted run.
  const auto whole = folder / "whole.tvl";
  ASSERT_EQ(cli("check -q -t 2 --save " + whole.string() + " " + list.string()).first, 0);
  EXPECT_EQ(resultsOf(whole), resumed);
}

TEST_F(RunsTest, ResumeRefusesAnotherKindOfRunAndStartsAfreshWithoutAFile) {
  const auto rules = folder.write("rules.txt", server.url("/p/0") + " " + server.url("/final/0") + "\n");
  const auto tested = folder / "tested.tvl";
  ASSERT_EQ(cli("mapping-test -q --rules " + rules.string() + " --save " + tested.string() + " " + list.string()).first, 2);
  const auto [status, output] = cli("check -q --resume " + tested.string() + " " + list.string());
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("Error: Cannot resume " + tested.string() +
                        ": it holds the results of a test; resume it with mapping-test or canonical-test"),
            std::string::npos)
      << output;

  // A test resumed keeps its verdicts: nothing is checked again.
  const size_t requestsBefore = server.requests().size();
  const auto [again, againOutput] =
      cli("mapping-test -q --rules " + rules.string() + " --resume " + tested.string() + " " + list.string());
  EXPECT_EQ(again, 2) << againOutput;
  EXPECT_EQ(server.requests().size(), requestsBefore);
  EXPECT_NE(againOutput.find("PASS: 1\nFAIL: 59\n"), std::string::npos) << againOutput;

  const auto fresh = folder / "fresh.tvl";
  const auto [freshStatus, freshOutput] = cli("check -q --resume " + fresh.string() + " " + list.string());
  EXPECT_EQ(freshStatus, 0) << freshOutput;
  EXPECT_NE(freshOutput.find("does not exist yet: the run starts from the beginning"), std::string::npos);
  EXPECT_EQ(keysOf(resultsOf(fresh)), listUrls());
}

TEST_F(RunsTest, ShardsCoverTheListOnceAndMergeIntoOneRun) {
  const auto whole = folder / "whole.tvl";
  ASSERT_EQ(cli("check -q --save " + whole.string() + " " + list.string()).first, 0);
  std::string shards;
  std::set<std::string> seen;
  size_t checked = 0;
  for (int shard = 0; shard < 4; ++shard) {
    const auto file = folder / ("shard" + std::to_string(shard) + ".tvl");
    const auto [status, output] =
        cli("check -q --shard " + std::to_string(shard) + "/4 --save " + file.string() + " " + list.string());
    ASSERT_EQ(status, 0) << output;
    for (const auto& url : keysOf(resultsOf(file))) {
      EXPECT_TRUE(seen.insert(url).second) << url << " is in two shards";
      ++checked;
    }
    shards += " " + file.string();
  }
  EXPECT_EQ(seen, listUrls());
  EXPECT_EQ(server.requestCount("/p/7"), 2u) << "the URL listed twice is checked once per run";

  const auto merged = folder / "merged.tvl";
  const auto [status, output] = cli("merge " + merged.string() + shards + " " + whole.string());
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find(": " + std::to_string(kListSize) + " URLs; URLs found in more than one file (first kept): " +
                        std::to_string(kListSize)),
            std::string::npos)
      << output;
  EXPECT_EQ(resultsOf(merged), resultsOf(whole));

  EXPECT_EQ(cli("check -q --shard 4/4 " + list.string()).second,
            "Error: Invalid --shard \"4/4\": use I/N, a shard 0 to N-1 of N (N at most 100000)\n");
}

TEST_F(RunsTest, FourShardsThroughGnuParallelMergeIntoOneRun) {
  const auto whole = folder / "whole.tvl";
  ASSERT_EQ(cli("check -q --save " + whole.string() + " " + list.string()).first, 0);
  // ":" is this machine: the recipe runs as it would over ssh, with its transfers and returns.
  const auto logins = folder.write("logins", ":\n");
  const auto merged = folder / "merged.tvl";
  const auto [status, output] =
      runCommand("TALLYVANE_CLI='" + command("") + "' " + std::string(TALLYVANE_DEPLOY_DIR) +
                 "/parallel/check-shards.sh " + logins.string() + " 4 " + list.string() + " " + merged.string() + " -t 2");
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Merged 4 files into " + merged.string() + ": " + std::to_string(kListSize) + " URLs"),
            std::string::npos)
      << output;
  EXPECT_EQ(resultsOf(merged), resultsOf(whole));
}

TEST_F(RunsTest, MergeRefusesACheckWithATest) {
  const auto checked = folder / "checked.tvl";
  const auto tested = folder / "tested.tvl";
  const auto rules = folder.write("rules.txt", server.url("/p/0") + " " + server.url("/final/0") + "\n");
  ASSERT_EQ(cli("check -q --save " + checked.string() + " " + list.string()).first, 0);
  ASSERT_EQ(cli("mapping-test -q --rules " + rules.string() + " --save " + tested.string() + " " + list.string()).first, 2);
  const auto merged = folder / "merged.tvl";
  const auto [status, output] = cli("merge " + merged.string() + " " + checked.string() + " " + tested.string());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output, "Error: Cannot merge " + tested.string() + ": it holds the results of a test, " + checked.string() +
                        " those of check\n");
  EXPECT_FALSE(fs::exists(merged));
}

TEST_F(RunsTest, DiffListsWhatAMigrationChanged) {
  const auto before = folder / "before.tvl";
  const auto after = folder / "after.tvl";
  const auto short1 = folder.write("before.txt", server.url("/p/1") + "\n" + server.url("/p/2") + "\n" +
                                                     server.url("/p/4") + "\n" + server.url("/only-before") + "\n");
  ASSERT_EQ(cli("check -q -t 1 --save " + before.string() + " " + short1.string()).first, 0);
  // The migration: /p/1 now redirects, /p/2 answers, /p/4 stays as it was.
  server.route("/p/1", [](const ReceivedRequest& r) { return redirectTo(r, 301, "/new/1"); });
  server.route("/p/2", [](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK"); });
  const auto short2 = folder.write("after.txt", server.url("/p/1") + "\n" + server.url("/p/2") + "\n" +
                                                    server.url("/p/4") + "\n" + server.url("/only-after") + "\n");
  ASSERT_EQ(cli("check -q -t 1 --save " + after.string() + " " + short2.string()).first, 0);

  const auto [status, output] =
      runCommand("(" + command("diff --fail-on-change " + before.string() + " " + after.string()) + " 2>/dev/null)");
  EXPECT_EQ(status, 2);
  EXPECT_EQ(output,
            "URL\tChange\tWhat Changed\tBefore Final Status Code\tBefore Final URL\tBefore # Redirects\tBefore "
            "Chain\tBefore Test Result\tAfter Final Status Code\tAfter Final URL\tAfter # Redirects\tAfter "
            "Chain\tAfter Test Result\n" +
                server.url("/p/1") + "\tchanged\tfinal URL,redirects,chain\t200\t" + server.url("/p/1") + "\t0\t\t\t200\t" +
                server.url("/new/1") + "\t1\tredirect\t\n" + server.url("/p/2") + "\tchanged\tfinal status\t404\t" +
                server.url("/p/2") + "\t0\t\t\t200\t" + server.url("/p/2") + "\t0\t\t\n" + server.url("/only-before") +
                "\tonly before\t\t200\t" + server.url("/only-before") + "\t0\t\t\t\t\t\t\t\n" + server.url("/only-after") +
                "\tonly after\t\t\t\t\t\t\t200\t" + server.url("/only-after") + "\t0\t\t\n");

  const auto [jsonStatus, json] =
      runCommand("(" + command("diff --format jsonl " + before.string() + " " + after.string()) + " 2>/dev/null)");
  EXPECT_EQ(jsonStatus, 0) << "without --fail-on-change a change is no failure";
  EXPECT_NE(json.find("{\"url\":\"" + server.url("/p/2") +
                      "\",\"change\":\"changed\",\"changes\":[\"final status\"],\"before\":{\"final_status_code\":404,"),
            std::string::npos)
      << json;
  EXPECT_EQ(cli("diff --fail-on-change " + before.string() + " " + before.string()).first, 0);
}

}  // namespace
}  // namespace tallyvane::testing
