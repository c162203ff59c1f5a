#include "results/ResultsMerge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "results/ResultsFile.h"
#include "tests/support/Chains.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;
using testing::chainOf;
using testing::ScratchFolder;

class ResultsMergeTest : public ::testing::Test {
 protected:
  // A results file of the URLs given, each with its own status, so a kept record can be told apart.
  fs::path saved(const std::string& name, const std::vector<std::pair<std::string, int64_t>>& urls) {
    ResultStore store;
    for (const auto& [url, status] : urls) EXPECT_TRUE(store.add(chainOf(url, {status}), TestMode::None, fatal));
    const fs::path file = folder / name;
    EXPECT_FALSE(saveResults(store, TestMode::None, file));
    return file;
  }

  ScratchFolder folder;
  FatalErrorSlot fatal;
};

TEST_F(ResultsMergeTest, TheFirstOfEachUrlIsKeptInInputOrderAsASaveOfThemWouldWriteIt) {
  const fs::path a = saved("a.tvl", {{"http://a.example/1", 200}, {"http://a.example/2", 404}});
  const fs::path b = saved("b.tvl", {{"http://a.example/3", 301}, {"http://a.example/1", 500}, {"http://a.example/4", 200}});
  const fs::path empty = saved("empty.tvl", {});
  const fs::path merged = folder / "merged.tvl";
  const MergeOutcome outcome = mergeResults({a, empty, b}, merged);
  ASSERT_FALSE(outcome.message) << outcome.message->text;
  EXPECT_EQ(outcome.records, 4);
  EXPECT_EQ(outcome.duplicates, 1);
  // Byte for byte what saving the kept records would give: header count set, runs joined right.
  const fs::path expected = saved("expected.tvl", {{"http://a.example/1", 200},
                                                   {"http://a.example/2", 404},
                                                   {"http://a.example/3", 301},
                                                   {"http://a.example/4", 200}});
  EXPECT_EQ(ScratchFolder::read(merged), ScratchFolder::read(expected));
  EXPECT_FALSE(fs::exists(folder / "merged.tvltemp"));
}

TEST_F(ResultsMergeTest, AMergeIntoAPipeReadsEveryInputFirstAndGivesTheSameBytes) {
  const fs::path a = saved("a.tvl", {{"http://a.example/1", 200}});
  const fs::path b = saved("b.tvl", {{"http://a.example/2", 404}, {"http://a.example/1", 500}});
  const fs::path pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(pipe, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  const MergeOutcome outcome = mergeResults({a, b}, pipe);
  reader.join();
  ASSERT_FALSE(outcome.message) << outcome.message->text;
  EXPECT_EQ(received, ScratchFolder::read(saved("expected.tvl", {{"http://a.example/1", 200}, {"http://a.example/2", 404}})));
}

TEST_F(ResultsMergeTest, ADamagedInputAfterCopiedOnesLeavesTheOldOutputWhole) {
  const fs::path a = saved("a.tvl", {{"http://a.example/1", 200}});
  std::string cut = ScratchFolder::read(saved("b.tvl", {{"http://a.example/2", 200}, {"http://a.example/3", 200}}));
  cut.resize(cut.size() - 3);
  const fs::path damaged = folder.write("damaged.tvl", cut);
  const fs::path merged = folder.write("merged.tvl", "the last good merge");
  const MergeOutcome outcome = mergeResults({a, damaged}, merged);
  ASSERT_TRUE(outcome.message);
  EXPECT_EQ(outcome.message->text.rfind(damaged.string() + ": ", 0), 0u) << outcome.message->text;
  EXPECT_EQ(ScratchFolder::read(merged), "the last good merge");
  EXPECT_FALSE(fs::exists(folder / "merged.tvltemp"));
}

}  // namespace
}  // namespace tallyvane
