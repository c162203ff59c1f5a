#include "results/ResultsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/Chains.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

using testing::chainOf;
using testing::ScratchFolder;

// Bytes of a results file, built by hand for damaged cases.
class FileBytes {
 public:
  FileBytes& header(int64_t count, int32_t magic = kResultsFileMagic, uint8_t major = 1, uint8_t minor = 1) {
    number32(magic);
    number64(count);
    bytes_ += static_cast<char>(major);
    bytes_ += static_cast<char>(minor);
    return *this;
  }
  FileBytes& tag(int32_t tag) { return number32(tag); }
  FileBytes& number(int32_t tag, int64_t value) { return this->tag(tag).number64(value); }
  FileBytes& text(int32_t tag, const std::string& text, int32_t length = -2) {
    this->tag(tag).number32(length == -2 ? static_cast<int32_t>(text.size()) : length);
    bytes_ += text;
    return *this;
  }
  FileBytes& record(const std::string& url) { return tag(0x100).number(0x200, 0).tag(0x101).text(0x300, url); }
  const std::string& bytes() const { return bytes_; }

 private:
  FileBytes& number32(int32_t value) {
    for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
    return *this;
  }
  FileBytes& number64(int64_t value) {
    for (int i = 0; i < 8; ++i) bytes_ += static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xFF);
    return *this;
  }
  std::string bytes_;
};

class ResultsFileTest : public ::testing::Test {
 protected:
  // The message loading these bytes gives ("" when they load).
  std::string loadMessage(const std::string& bytes) {
    ResultStore store;
    const LoadOutcome outcome = loadResults(store, folder.write("damaged.tvl", bytes));
    return outcome.message ? outcome.message->text : "";
  }

  void fill(ResultStore& store, TestMode testMode) {
    auto page = chainOf("http://a.example/caf\xC3\xA9", {200});
    page[0].statusText = "OK";
    page[0].contentType = "text/html";
    page[0].size = 1234;
    page[0].responseTime = 87;
    page[0].xRobotsTag = "[noindex]";
    page[0].vary = "[Accept-Encoding]";
    page[0].rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
    page[0].addLink() = {"http://a.example/de", "alternate", "[de]"};
    page[0].addLink() = {"http://a.example/", "", ""};
    page[0].testPassed = 0;
    page[0].testNote = "[no redirect]";
    auto loop = chainOf("http://a.example/loop", {301, 302, 0}, kChainLoop, 20);
    loop[2].responseTime = -1;
    auto dead = chainOf("http://dead.example/", {0}, kChainFailed, -1);
    dead[0].statusText = "LibCurl:Could not resolve host";
    for (const auto* hops : {&page, &loop, &dead}) ASSERT_TRUE(store.add(*hops, testMode, fatal));
  }

  ScratchFolder folder;
  FatalErrorSlot fatal;
};

void expectSameRecords(const ResultStore& a, const ResultStore& b) {
  ASSERT_EQ(a.count(), b.count());
  auto same = [](const char* x, const char* y) { return (x == nullptr) == (y == nullptr) && (!x || !std::strcmp(x, y)); };
  for (int64_t i = 0; i < a.count(); ++i) {
    const ResultRecord& x = *a.recordAtIndex(i);
    const ResultRecord& y = *b.recordAtIndex(i);
    ASSERT_EQ(x.responseCount, y.responseCount);
    EXPECT_EQ(x.chainKind, y.chainKind);
    EXPECT_EQ(x.testPassed, y.testPassed);
    EXPECT_TRUE(same(x.testReason, y.testReason));
    for (int j = 0; j < x.responseCount; ++j) {
      const ResponseRecord& r = x.responses[j];
      const ResponseRecord& s = y.responses[j];
      EXPECT_TRUE(same(r.url, s.url) && same(r.statusText, s.statusText) && same(r.type, s.type) &&
                  same(r.xRobotsTag, s.xRobotsTag) && same(r.vary, s.vary) && r.rawHeaders.text() == s.rawHeaders.text());
      EXPECT_EQ(r.statusCode, s.statusCode);
      EXPECT_EQ(r.size, s.size);
      EXPECT_EQ(r.responseTime, s.responseTime);
      ASSERT_EQ(r.linkCount, s.linkCount);
      for (int k = 0; k < r.linkCount; ++k) {
        EXPECT_TRUE(same(r.links[k].link, s.links[k].link) && same(r.links[k].rel, s.links[k].rel) &&
                    same(r.links[k].hreflang, s.links[k].hreflang));
      }
    }
  }
}

TEST_F(ResultsFileTest, RoundTripKeepsEveryFieldAndSavesTheSameBytesAgain) {
  for (const TestMode testMode : {TestMode::None, TestMode::Canonical}) {
    ResultStore saved;
    fill(saved, testMode);
    const auto file = folder / "results.tvl";
    ASSERT_FALSE(saveResults(saved, testMode, file));
    ResultStore loaded;
    const LoadOutcome outcome = loadResults(loaded, file);
    ASSERT_FALSE(outcome.message) << outcome.message->text;
    EXPECT_EQ(outcome.testMode, testMode);
    EXPECT_EQ(outcome.responses, 5);
    expectSameRecords(saved, loaded);
    const auto again = folder / "again.tvl";
    ASSERT_FALSE(saveResults(loaded, outcome.testMode, again));
    EXPECT_EQ(ScratchFolder::read(again), ScratchFolder::read(file));
    EXPECT_TRUE(loaded.contains("http://a.example/caf\xC3\xA9"));
    EXPECT_EQ(loaded.rowCount({false, Filter::NoResponseTimeout}), 1);  // filters rebuilt on loading
  }
}

TEST_F(ResultsFileTest, AbsentValuesAreNotWritten) {
  ResultStore store;
  ASSERT_TRUE(store.add(chainOf("http://x/", {0}, kChainFailed, -1), TestMode::None, fatal));
  const auto file = folder / "one.tvl";
  ASSERT_FALSE(saveResults(store, TestMode::None, file));
  // header, record tag, chain kind, response tag, URL: no status code, size or time.
  EXPECT_EQ(ScratchFolder::read(file), FileBytes().header(1).tag(0x100).number(0x200, 4).tag(0x101).text(0x300, "http://x/").bytes());
  ResultStore loaded;
  ASSERT_FALSE(loadResults(loaded, file).message);
  EXPECT_EQ(loaded.recordAtIndex(0)->first().responseTime, -1);
  EXPECT_EQ(loaded.recordAtIndex(0)->first().size, -1);
}

TEST_F(ResultsFileTest, TheResponseTimeIsWrittenByStatusCodeNotByItsValue) {
  ResultStore store;
  ASSERT_TRUE(store.add(chainOf("http://failed/", {0}, kChainFailed, 1234), TestMode::None, fatal));
  ASSERT_TRUE(store.add(chainOf("http://instant/", {200}, kChainPlain, 0), TestMode::None, fatal));
  const auto file = folder / "times.tvl";
  ASSERT_FALSE(saveResults(store, TestMode::None, file));
  ResultStore loaded;
  ASSERT_FALSE(loadResults(loaded, file).message);
  ASSERT_EQ(loaded.count(), 2);
  EXPECT_EQ(loaded.recordAtIndex(0)->first().responseTime, -1);
  EXPECT_EQ(loaded.recordAtIndex(1)->first().responseTime, 0);
}

TEST_F(ResultsFileTest, AnEmptyStoreSavesAndReopensAsEmpty) {
  ResultStore empty;
  const auto file = folder / "empty.tvl";
  ASSERT_FALSE(saveResults(empty, TestMode::None, file));
  EXPECT_EQ(ScratchFolder::read(file).size(), 14u);
  ResultStore loaded;
  EXPECT_FALSE(loadResults(loaded, file).message);
  EXPECT_EQ(loaded.count(), 0);
  EXPECT_EQ(loadMessage(FileBytes().header(0).tag(0x100).bytes()), "Invalid or Corrupt Results File.");
}

TEST_F(ResultsFileTest, HeaderChecksVersionBeforeMagic) {
  EXPECT_EQ(loadMessage(FileBytes().header(1, kResultsFileMagic, 1, 2).record("http://x/").bytes()),
            "The results file uses a newer file format. Please, upgrade your Tallyvane to be able to open it.");
  EXPECT_EQ(loadMessage(FileBytes().header(1, 0x1234, 2, 0).bytes()),
            "The results file uses a newer file format. Please, upgrade your Tallyvane to be able to open it.");
  EXPECT_EQ(loadMessage(FileBytes().header(1, 0x1234).record("http://x/").bytes()),
            "You are trying to open a file that's broken or not created with Tallyvane");
  EXPECT_EQ(loadMessage(std::string("\x06\x79\0\0\1", 5)), "There was an error reading the results file.");
  EXPECT_EQ(loadMessage(FileBytes().header(-3).bytes()), "Invalid or Corrupt Results File.");
  ResultStore store;
  EXPECT_EQ(loadResults(store, folder / "missing.tvl").message->text, "Cannot open results file.");
}

TEST_F(ResultsFileTest, DamagedFilesAreRefusedNeverTrusted) {
  const std::string good = FileBytes().header(2).record("http://a/").record("http://b/").bytes();
  ASSERT_EQ(loadMessage(good), "");
  EXPECT_EQ(loadMessage(good.substr(0, good.size() - 12)), "Unexpected end of results file.");  // inside a length
  EXPECT_EQ(loadMessage(good.substr(0, 14 + 2)), "Unexpected end of results file.");                // inside a tag
  const std::string one = FileBytes().header(2).record("http://a/").bytes();
  EXPECT_EQ(loadMessage(one), "Invalid or Corrupt Results File.");                                  // between records
  EXPECT_EQ(loadMessage(FileBytes().header(2).tag(0x100).tag(0x200).bytes() + "\1\0"),
            "Unexpected end of results file.");  // inside a number
  EXPECT_EQ(loadMessage(FileBytes().header(1).record("http://a/").record("http://b/").bytes()),
            "Invalid or Corrupt Results File.");  // goes on after its records
  EXPECT_EQ(loadMessage(FileBytes().header(1).tag(0x101).bytes()), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(FileBytes().header(1).tag(0x100).tag(0x300).bytes()), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(FileBytes().header(1).record("").tag(0x999).bytes()), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(FileBytes().header(1).tag(0x100).tag(0x101).text(0x300, "x", -5).bytes()),
            "Invalid or Corrupt Results File.");
}

TEST_F(ResultsFileTest, AnEnormousLengthAllocatesOnlyWhatTheFileHolds) {
  EXPECT_EQ(loadMessage(FileBytes().header(1).tag(0x100).tag(0x101).text(0x300, "short", INT32_MAX).bytes()), "");
  EXPECT_EQ(loadMessage(FileBytes().header(2).tag(0x100).tag(0x101).text(0x300, "short", INT32_MAX).bytes()),
            "Invalid or Corrupt Results File.");
}

TEST_F(ResultsFileTest, LimitsOfResponsesAndLinks) {
  FileBytes eleven;
  eleven.header(1).tag(0x100);
  for (int i = 0; i < 11; ++i) eleven.tag(0x101).number(0x301, 301);
  EXPECT_EQ(loadMessage(eleven.bytes()), "");
  eleven.tag(0x101);
  EXPECT_EQ(loadMessage(eleven.bytes()), "Invalid or Corrupt Results File.");

  FileBytes thirty;
  thirty.header(1).record("http://a/");
  for (int i = 0; i < 30; ++i) thirty.tag(0x102).text(0x400, "http://l/" + std::to_string(i));
  EXPECT_EQ(loadMessage(thirty.bytes()), "");
  FileBytes after = thirty;
  after.text(0x300, "http://late/");  // a response field after the links
  EXPECT_EQ(loadMessage(after.bytes()), "Invalid or Corrupt Results File.");
  thirty.tag(0x102);
  EXPECT_EQ(loadMessage(thirty.bytes()), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(FileBytes().header(1).record("http://a/").text(0x401, "rel").bytes()),
            "Invalid or Corrupt Results File.");
}

// The store keeps a status code in 16 bits and a response time in 32: a file's number that would
// not fit is refused rather than changed, and a crawl's is kept as the nearest one that fits.
TEST_F(ResultsFileTest, NumbersTheStoreCannotHoldAreRefusedNotNarrowed) {
  const auto response = [](int64_t code, int64_t time) {
    return FileBytes().header(1).tag(0x100).tag(0x101).number(0x301, code).number(0x304, time).bytes();
  };
  EXPECT_EQ(loadMessage(response(999, INT32_MAX)), "");
  EXPECT_EQ(loadMessage(response(0, -1)), "");
  EXPECT_EQ(loadMessage(response(1000, 5)), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(response(65536 + 200, 5)), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(response(-1, 5)), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(response(200, int64_t{INT32_MAX} + 1)), "Invalid or Corrupt Results File.");
  EXPECT_EQ(loadMessage(response(200, -2)), "Invalid or Corrupt Results File.");

  ResultStore store;
  ASSERT_TRUE(store.add(chainOf("http://slow/", {200}, kChainPlain, int64_t{1} << 40), TestMode::None, fatal));
  EXPECT_EQ(store.recordAtIndex(0)->first().responseTime, INT32_MAX);
  EXPECT_EQ(store.recordAtIndex(0)->first().statusCode, 200);
}

TEST_F(ResultsFileTest, TestFieldsSetTheTestModeAndMissingPassFlagMeansPass) {
  ResultStore store;
  const LoadOutcome outcome = loadResults(
      store, folder.write("t.tvl", FileBytes().header(2).tag(0x100).number(0x202, 0).text(0x201, "[why]").tag(0x101)
                                       .text(0x300, "http://a/").tag(0x100).tag(0x101).text(0x300, "http://b/")
                                       .text(0x302, "").bytes()));
  ASSERT_FALSE(outcome.message);
  EXPECT_EQ(outcome.testMode, TestMode::Canonical);
  EXPECT_EQ(store.recordAtIndex(0)->testPassed, 0);
  EXPECT_STREQ(store.recordAtIndex(0)->testReason, "[why]");
  EXPECT_EQ(store.recordAtIndex(1)->testPassed, 1);
  EXPECT_EQ(store.recordAtIndex(1)->first().type, nullptr);
}

TEST_F(ResultsFileTest, AFailedSaveLeavesThePreviousFileUntouched) {
  ResultStore store;
  fill(store, TestMode::None);
  const auto file = folder.write("results.tvl", "the previous, complete results");
  std::optional<Message> message;
  {
    const testing::FileSizeLimit limit(64);
    message = saveResults(store, TestMode::None, file);
  }
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, "There was an error writing the results file.");
  EXPECT_EQ(ScratchFolder::read(file), "the previous, complete results");
  EXPECT_FALSE(std::filesystem::exists(folder / "results.tvltemp"));

  std::filesystem::create_directory(folder / "taken.tvl");
  EXPECT_EQ(saveResults(store, TestMode::None, folder / "taken.tvl")->text, "Cannot save! There exists a folder with the same name.");
  EXPECT_EQ(saveResults(store, TestMode::None, folder / "no-folder" / "x.tvl")->text, "Cannot create temporary file");
}

TEST_F(ResultsFileTest, QuittingDuringASaveNeverReplacesTheOldFile) {
  ResultStore store;
  fill(store, TestMode::None);
  const auto file = folder.write("results.tvl", "old");
  const std::atomic<bool> quitting{true};
  const auto stopped = saveResults(store, TestMode::None, file, {}, &quitting);
  ASSERT_TRUE(stopped);  // never a successful save
  EXPECT_EQ(stopped->text, kStoppedBeforeCompleteMessage);
  EXPECT_EQ(ScratchFolder::read(file), "old");
  EXPECT_FALSE(std::filesystem::exists(folder / "results.tvltemp"));
}

}  // namespace
}  // namespace tallyvane
