// Checkpoints written while workers go on adding to the store, and the shard of a URL.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "app/Checkpoints.h"
#include "app/Shard.h"
#include "results/ResultsFile.h"
#include "tests/support/Chains.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane::testing {
namespace {

TEST(CheckpointsTest, CheckpointsRacingTheWorkersAreCompletePrefixesOfTheStore) {
  ScratchFolder folder;
  const auto file = folder / "run.tvl";
  ResultStore store;
  ASSERT_TRUE(store.resetFilterLists());
  // The workers add until three checkpoints are written, or their share of a big crawl is stored.
  constexpr int kMostEach = 200'000;
  std::atomic<bool> adding{true};
  std::vector<std::thread> workers;
  for (int worker = 0; worker < 3; ++worker) {
    workers.emplace_back([&, worker] {
      FatalErrorSlot fatal;
      for (int n = 0; adding && n < kMostEach; ++n) {
        // Raw headers enough for the store to pack them with its dictionary, as a crawl's are.
        auto hops = chainOf("https://w" + std::to_string(worker) + ".test/" + std::to_string(n), {301, 200});
        hops[0].rawHeaders = "HTTP/1.1 301 Moved\r\nLocation: /x/" + std::to_string(n) + "\r\nServer: t\r\n\r\n";
        PackedChain packed;
        store.packHeaders(hops, packed);
        ASSERT_TRUE(store.add(hops, TestMode::None, fatal, &packed));
      }
    });
  }
  std::vector<Message> failures;
  {
    Checkpoints checkpoints(store, TestMode::None, file, std::chrono::milliseconds(1),
                            [&](const Message& failure) { failures.push_back(failure); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (checkpoints.written() < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_GE(checkpoints.written(), 3) << "three checkpoints within 30 seconds";
    adding = false;
    for (auto& worker : workers) worker.join();
  }
  EXPECT_TRUE(failures.empty()) << failures.front().text;

  ResultStore loaded;
  const LoadOutcome outcome = loadResults(loaded, file);
  ASSERT_FALSE(outcome.message) << outcome.message->text;
  ASSERT_GT(loaded.count(), 0);
  ASSERT_LE(loaded.count(), store.count());
  for (int64_t i = 0; i < loaded.count(); ++i) {
    const ResultRecord& saved = *loaded.recordAtIndex(i);
    const ResultRecord& original = *store.recordAtIndex(i);
    ASSERT_EQ(textOf(saved.first().url), textOf(original.first().url)) << "record " << i;
    ASSERT_EQ(saved.first().rawHeaders.text(), original.first().rawHeaders.text()) << "record " << i;
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    EXPECT_EQ(entry.path(), file) << "a checkpoint leaves no temporary file behind";
  }
}

TEST(ShardTest, TheShardHashIsZlibsCrc32OfTheUrl) {
  // Part of the command line's contract: machines and versions must agree on it.
  for (const std::string url : {"https://example.com/", "http://a.test/p?q=1", ""}) {
    const auto crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(url.data()), static_cast<uInt>(url.size())));
    EXPECT_EQ(shardHash(url), crc) << url;
  }
  EXPECT_EQ(shardHash("https://example.com/"), 0x682df0d4u);  // pinned, whatever zlib does
  EXPECT_TRUE(inShard("https://example.com/", Shard{static_cast<int>(0x682df0d4u % 7), 7}));
}

TEST(ShardTest, ParsesIndexOfCountAndRefusesTheRest) {
  const auto shard = parseShard("3/8").shard;
  ASSERT_TRUE(shard);
  EXPECT_EQ(shard->index, 3);
  EXPECT_EQ(shard->count, 8);
  for (const char* wrong : {"8/8", "-1/4", "1/0", "1", "a/4", "1/4x", "/4", "1/100001"}) {
    EXPECT_FALSE(parseShard(wrong).shard) << wrong;
    EXPECT_EQ(parseShard(wrong).problem.rfind("Invalid --shard \"", 0), 0u) << wrong;
  }
}

}  // namespace
}  // namespace tallyvane::testing
