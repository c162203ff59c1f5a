#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/cli/CliFixture.h"
#include "tests/support/Eventually.h"

namespace tallyvane::testing {
using namespace tallyvane::demo;
namespace {

namespace fs = std::filesystem;

class InterruptTest : public CliFixture {
 protected:
  void SetUp() override {
    // The marker file tells a shell script the crawl has reached the request that never ends.
    server.route("/hang", [this](const ReceivedRequest&) {
      folder.write("hanging", "");
      return ScriptedReply{"", std::chrono::milliseconds(0), true};
    });
    server.fallback([](const ReceivedRequest& r) { return reply(r, "HTTP/1.1 200 OK"); });
  }

  // One URL answered, then one that never is: the crawl runs until it is interrupted.
  fs::path hangingList() const { return folder.write("list.txt", server.url("/done") + "\n" + server.url("/hang") + "\n"); }

  // Runs the command line in the background and signals it as a shell script would; its output
  // goes to a file the script can watch, then comes back with the script's own.
  std::pair<int, std::string> signalled(const std::string& commandLine, const std::string& signals) const {
    const std::string output = (folder / "output").string();
    return runCommand("(" + commandLine + " > " + output + " 2>&1 & pid=$!; " + signals +
                      "; wait $pid; status=$?; cat " + output + "; exit $status)");
  }

  // Shell lines that poll until test holds, or say what they gave up waiting for.
  static std::string waitUntil(const std::string& test, const std::string& what) {
    const auto tries = std::chrono::duration_cast<std::chrono::milliseconds>(kEventDeadline).count() / 50;
    return "for i in $(seq " + std::to_string(tries) + "); do " + test + " && break; sleep 0.05; done; " + test +
           " || echo 'gave up waiting for " + what + "'";
  }
  static std::string waitFor(const fs::path& file) { return waitUntil("[ -e " + file.string() + " ]", file.string()); }
  std::string waitForOutput(const std::string& text) const {
    return waitUntil("grep -q '" + text + "' " + (folder / "output").string(), "\"" + text + "\" in the output");
  }

  // Whether a temporary file of a save or report was left in the folder.
  bool temporaryFilesLeft() const {
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".partial") || name.ends_with(".tvltemp")) return true;
    }
    return false;
  }
};

TEST_F(InterruptTest, TwoSignalsAtOnceAreOneInterruptAndWhatWasCheckedIsWritten) {
  // timeout passes a signal it gets on to the program, then to its process group.
  const auto report = folder / "standard.csv";
  const auto results = folder / "run.tvl";
  const auto [status, output] =
      signalled("timeout --preserve-status 600 " + command("check -q -t 1 " + hangingList().string() +
                                                           " --report standard=" + report.string() + " --save " +
                                                           results.string()),
                waitFor(folder / "hanging") + "; kill -INT $pid");
  EXPECT_EQ(status, 130) << output;
  EXPECT_NE(output.find("Aborted: Tallyvane has aborted checking URLs\n"), std::string::npos) << output;
  EXPECT_NE(output.find("All URLs: 1\n"), std::string::npos) << output;
  const std::string rows = ScratchFolder::read(report);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2) << rows;
  EXPECT_TRUE(fs::is_regular_file(results));
}

TEST_F(InterruptTest, TermAndHupAbortAsCtrlCWhileABackgroundJobKeepsIgnoringInt) {
  for (const std::string signal : {"TERM", "HUP"}) {
    fs::remove(folder / "hanging");
    const auto [status, output] = signalled(command("check -t 1 " + hangingList().string()),
                                            waitFor(folder / "hanging") + "; kill -" + signal + " $pid");
    EXPECT_EQ(status, 130) << signal << output;
    EXPECT_NE(output.find("Aborted: Tallyvane has aborted checking URLs\n"), std::string::npos) << output;
  }
  // A script's background job inherits an ignored SIGINT, and keeps it: the request is answered
  // only once the signal has been sent.
  const auto asked = folder / "asked";
  const auto sent = folder / "sent";
  server.route("/slow", [&](const ReceivedRequest& r) {
    folder.write("asked", "");
    EXPECT_TRUE(eventually([&] { return fs::exists(sent); }, "the script sends SIGINT"));
    return reply(r, "HTTP/1.1 200 OK");
  });
  const auto list = folder.write("slow.txt", server.url("/slow") + "\n");
  const auto [status, output] =
      signalled(command("check -q " + list.string()), waitFor(asked) + "; kill -INT $pid; touch " + sent.string());
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Success: Tallyvane has finished checking all URLs\n"), std::string::npos) << output;
}

TEST_F(InterruptTest, AnInterruptBeforeTheCrawlStartsIsNotLost) {
  // While the list is still being read from standard input; the settings file shows the program
  // has started.
  const auto sent = folder / "sent";
  const auto [status, output] = runCommand(
      "({ " + waitFor(sent) + "; echo " + server.url("/a") + "; } | " + command("check -q -") +
      " 2>&1 & pid=$!; " + waitFor(folder / "settings.prefs") + "; kill -TERM $pid; touch " + sent.string() +
      "; wait $pid)");
  EXPECT_EQ(status, 130) << output;
  EXPECT_NE(output.find("Aborted: Tallyvane has aborted checking URLs\n"), std::string::npos) << output;
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(InterruptTest, AnInterruptWhileFilesAreWrittenLetsThemFinishAndASecondEndsAtOnce) {
  // A report into a FIFO waits for its reader: the crawl is over, its files not yet written.
  const auto pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto list = folder.write("list.txt", server.url("/a") + "\n");
  const auto results = folder / "run.tvl";
  const auto got = folder / "got.csv";
  const auto first = folder / "first.csv";
  const auto [status, output] =
      signalled(command("check -q " + list.string() + " --report raw=" + first.string() + " --report raw=" +
                        pipe.string() + " --save " + results.string()),
                waitFor(first) + "; kill -TERM $pid; " + waitForOutput("Interrupted: ") + "; timeout 60 cat " +
                    pipe.string() + " > " + got.string());
  EXPECT_EQ(status, 130) << output;
  EXPECT_NE(output.find("Interrupted: "), std::string::npos) << output;
  EXPECT_NE(ScratchFolder::read(got).find(server.url("/a")), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(results));

  // A second interrupt, more than a second after the first took effect, ends the program without
  // its files. The pause is the one second under test, not a wait for something to happen.
  const auto standard = folder / "standard.csv";
  const auto later = folder / "later.tvl";
  const auto [secondStatus, secondOutput] =
      signalled(command("check -q " + list.string() + " --report standard=" + standard.string() + " --report raw=" +
                        pipe.string() + " --save " + later.string()),
                waitFor(standard) + "; kill -TERM $pid; " + waitForOutput("Interrupted: ") +
                    "; sleep 1.1; kill -TERM $pid");
  EXPECT_EQ(secondStatus, 130) << secondOutput;
  EXPECT_TRUE(fs::is_regular_file(standard));
  EXPECT_FALSE(fs::exists(later));
  EXPECT_FALSE(temporaryFilesLeft());
}

TEST_F(InterruptTest, AReaderThatGoesAwayEndsTheLinesNotTheRun) {
  // More lines than a pipe holds, so writing goes on after head has left.
  std::string lines;
  for (int i = 0; i < 2000; ++i) lines += server.url("/page-" + std::to_string(i)) + "\n";
  const auto list = folder.write("list.txt", lines);
  const auto results = folder / "run.tvl";
  const auto status = folder / "status";
  runCommand("{ " + command("check -t 8 " + list.string() + " --save " + results.string()) + " 2>/dev/null; echo $? > " +
             status.string() + "; } | head -1");
  EXPECT_EQ(ScratchFolder::read(status), "0\n");
  EXPECT_GT(fs::file_size(results), 2000u * 40);
}

}  // namespace
}  // namespace tallyvane::testing
