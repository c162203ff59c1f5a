#include "base/FileContents.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

using testing::ScratchFolder;
namespace fs = std::filesystem;

mode_t permissionsOf(const fs::path& file) {
  struct stat info {};
  ::stat(file.c_str(), &info);
  return info.st_mode & 07777;
}

size_t entriesIn(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class FileReplacementTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
};

TEST_F(FileReplacementTest, ReplacesTheFileALinkNamesKeepingItsPermissions) {
  fs::create_directory(folder / "real");
  const auto file = folder.write("real/report.csv", "old");
  ::chmod(file.c_str(), 0640);
  fs::create_symlink("real/report.csv", folder / "link.csv");
  ASSERT_TRUE(replaceFileContents(folder / "link.csv", "new"));
  EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
  EXPECT_EQ(ScratchFolder::read(file), "new");
  EXPECT_EQ(permissionsOf(file), 0640u);
  EXPECT_EQ(entriesIn(folder / "real"), 1u);

  // A link to a file that does not exist yet creates that file.
  fs::create_symlink("real/later.csv", folder / "dangling.csv");
  ASSERT_TRUE(replaceFileContents(folder / "dangling.csv", "later"));
  EXPECT_EQ(ScratchFolder::read(folder / "real/later.csv"), "later");

  // A private file stays private; a new one gets what the caller asks for.
  const auto secret = folder.write("secret", "x");
  ::chmod(secret.c_str(), 0600);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(secret.c_str(), 65534, 65534), 0);  // root saving over a user's file
  }
  ASSERT_TRUE(replaceFileContents(secret, "y"));
  EXPECT_EQ(permissionsOf(secret), 0600u);
  struct stat owner {};
  ::stat(secret.c_str(), &owner);
  if (root) {
    EXPECT_EQ(owner.st_uid, 65534u);
  }
  ASSERT_TRUE(replaceFileContents(folder / "fresh", "z", 0600));
  EXPECT_EQ(permissionsOf(folder / "fresh"), 0600u);
}

TEST_F(FileReplacementTest, AFifoIsWrittenDirectlyNotReplaced) {
  const fs::path fifo = folder / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] { return ScratchFolder::read(fifo); });
  FileReplacement file;
  ASSERT_TRUE(file.open(fifo));
  EXPECT_TRUE(file.writesDirectly());
  ASSERT_TRUE(file.write("row\n") && file.commit());
  EXPECT_EQ(reader.get(), "row\n");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST_F(FileReplacementTest, TheFileStandardOutputWritesToIsContinuedNotReplaced) {
  // As `tallyvane-cli ... --report standard=/dev/stdout > out.csv` does.
  const auto out = folder.write("out.csv", "");
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int redirected = ::open(out.c_str(), O_WRONLY | O_APPEND);
  ::dup2(redirected, STDOUT_FILENO);
  EXPECT_EQ(::write(STDOUT_FILENO, "counts\n", 7), 7);
  const bool replaced = replaceFileContents("/dev/stdout", "report\n");
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(redirected);
  EXPECT_TRUE(replaced);
  EXPECT_EQ(ScratchFolder::read(out), "counts\nreport\n");
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

TEST_F(FileReplacementTest, ALeftoverTemporaryFileDoesNotBlockTheNextSave) {
  const auto target = folder.write("run.tvl", "old");
  folder.write("run.tvltemp", "left by a crash");
  fs::create_symlink(target, folder / "report.csv.partial");  // not followed, not written through
  ASSERT_TRUE(replaceFileContents(folder / "report.csv", "report"));
  EXPECT_EQ(ScratchFolder::read(target), "old");
  FileReplacement file;
  ASSERT_TRUE(file.open(target, "run.tvltemp"));
  ASSERT_TRUE(file.write("new") && file.commit());
  EXPECT_EQ(ScratchFolder::read(target), "new");
  EXPECT_EQ(entriesIn(folder.path()), 2u);
}

TEST_F(FileReplacementTest, AFailedOrAbandonedWriteLeavesTheOldFile) {
  const auto target = folder.write("report.csv", "complete earlier report");
  {
    const testing::FileSizeLimit limit(8);
    EXPECT_FALSE(replaceFileContents(target, std::string(2 << 20, 'x')));
  }
  {
    FileReplacement file;
    ASSERT_TRUE(file.open(target));
    ASSERT_TRUE(file.write("half"));
  }
  EXPECT_EQ(ScratchFolder::read(target), "complete earlier report");
  EXPECT_EQ(entriesIn(folder.path()), 1u);
  EXPECT_FALSE(replaceFileContents(folder.path(), "a folder is not replaced"));
  EXPECT_FALSE(replaceFileContents(folder / "missing" / "x", "no folder"));
}

TEST_F(FileReplacementTest, EndingAtOnceRemovesWhatIsHalfWritten) {
  // In a child process: nothing can be written in it afterwards.
  EXPECT_EXIT(
      {
        FileReplacement file;
        const bool opened = file.open(folder / "run.tvl", "run.tvltemp") && file.write("half");
        removeUnfinishedFiles();
        FileReplacement next;
        std::_Exit(opened && !fs::exists(folder / "run.tvltemp") && !next.open(folder / "other") ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FileReplacementTest, AFailureIsNamedWithTheKernelsReasonAsItHappens) {
  const auto target = folder.write("report.csv", "old");
  {
    const testing::FileSizeLimit limit(8);
    FileReplacement file;
    ASSERT_TRUE(file.open(target));
    EXPECT_FALSE(file.write(std::string(2 << 20, 'x')));
    ASSERT_TRUE(file.failure());
    EXPECT_EQ(file.failure()->code, EFBIG);
    EXPECT_EQ(file.failure()->text, "writing " + (folder / "report.csv.partial").string() + ": File too large");
  }
  FileReplacement file;
  EXPECT_FALSE(file.open(folder / "missing" / "x.csv"));
  ASSERT_TRUE(file.failure());
  EXPECT_EQ(file.failure()->code, ENOENT);
  EXPECT_EQ(file.failure()->text,
            "creating " + (folder / "missing" / "x.csv.partial").string() + ": No such file or directory");
  EXPECT_FALSE(file.open(folder.path()));
  EXPECT_EQ(file.failure()->code, EISDIR);
  ASSERT_TRUE(file.open(target));
  EXPECT_FALSE(file.failure()) << "open() clears the failure before";
  if (fs::exists("/dev/full")) {
    ASSERT_TRUE(file.open("/dev/full"));
    EXPECT_FALSE(file.write("x") && file.commit());
    ASSERT_TRUE(file.failure());
    EXPECT_EQ(file.failure()->code, ENOSPC);
    EXPECT_EQ(file.failure()->text, "writing /dev/full: No space left on device");
  }
  EXPECT_EQ(ScratchFolder::read(target), "old");
}

TEST(OutputCheckTest, FindsWhyAFileCannotBeWrittenByStartingTo) {
  ScratchFolder folder;
  EXPECT_EQ(probeWritable(folder / "new.csv"), std::nullopt);
  EXPECT_EQ(probeWritable("/dev/stdout"), std::nullopt);
  EXPECT_EQ(entriesIn(folder.path()), 0u) << "the probe leaves nothing behind";
  ASSERT_TRUE(probeWritable(folder.path()));
  EXPECT_EQ(probeWritable(folder.path())->code, EISDIR);
  ASSERT_TRUE(probeWritable(folder / "none" / "x.csv"));
  EXPECT_EQ(probeWritable(folder / "none" / "x.csv")->code, ENOENT);
  // A read-only file is refused by its mode bits, for root too, who could write it.
  const auto kept = folder.write("kept.csv", "an earlier report");
  fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(probeWritable(kept));
  EXPECT_EQ(probeWritable(kept)->code, EACCES);
  EXPECT_EQ(ScratchFolder::read(kept), "an earlier report");
  const auto list = folder.write("list.txt", "http://a/\n");
  fs::create_symlink(list, folder / "alias.txt");
  EXPECT_TRUE(sameFile(folder / "alias.txt", list));
  EXPECT_FALSE(sameFile(folder / "other.txt", list));
}

}  // namespace
}  // namespace tallyvane
