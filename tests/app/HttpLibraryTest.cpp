#include "app/HttpLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/ProgramPath.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

using testing::ScratchFolder;

TEST(HttpLibraryTest, BindsTheLibraryNextToTheExecutableAndResolvesEveryName) {
  const auto library = HttpLibrary::bind(executableDirectory());
  ASSERT_NE(library, nullptr);
  // The copy beside the program comes first, though the platform's own would load too.
  EXPECT_EQ(library->place(), executableDirectory() + "/" + std::string(kCurlLibraryFileName));
  for (size_t i = 0; i < HttpLibrary::kEntryPointCount; ++i) {
    EXPECT_NE(library->entryPoint(i), nullptr) << HttpLibrary::kEntryPointNames[i];
  }
  EXPECT_NE(library->api().easy_perform, nullptr);
}

TEST(HttpLibraryTest, LooksBesideTheProgramThenByBareNameThenByThePlatformSoname) {
  EXPECT_EQ(HttpLibrary::places("/opt/tallyvane/bin"),
            (std::vector<std::string>{"/opt/tallyvane/bin/custlibcurl.dylib", "custlibcurl.dylib", "libcurl.so.4"}));
}

TEST(HttpLibraryTest, DirectoryWithoutTheLibraryFallsBackToThePlatformLibcurl) {
  ScratchFolder empty;
  const auto library = HttpLibrary::bind(empty.path().string());
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library->place(), kPlatformCurlLibrary);
  EXPECT_NE(library->api().easy_perform, nullptr);
}

TEST(HttpLibraryTest, NoPlaceThatLoadsBindsNothing) {
  ScratchFolder empty;
  EXPECT_EQ(HttpLibrary::bindFirst({(empty / "custlibcurl.dylib").string(), "tallyvane-no-such-library.so"}), nullptr);
}

TEST(HttpLibraryTest, LibraryLackingACalledEntryPointIsNotLoadable) {
  ScratchFolder directory;
  fs::copy_file(INCOMPLETE_CURL_PATH, directory.path() / std::string(kCurlLibraryFileName));
  // The first place that loads is the one used: no fall-back past a broken copy.
  EXPECT_EQ(HttpLibrary::bind(directory.path().string()), nullptr);
}

// A copy of tallyvane-cli alone in a folder, with LD_LIBRARY_PATH naming only libraryFolder: the
// system's search sees that folder before its own.
class CopiedProgramTest : public ::testing::Test {
 protected:
  CopiedProgramTest() { fs::copy_file(TALLYVANE_CLI_PATH, programFolder_ / "tallyvane-cli"); }

  std::pair<int, std::string> check(const std::string& url) const {
    return testing::runCommand("echo " + url + " | env LD_LIBRARY_PATH=" + libraryFolder_.path().string() + " " +
                               (programFolder_ / "tallyvane-cli").string() + " --settings " +
                               (programFolder_ / "settings.prefs").string() + " check -q -");
  }
  void placeInLibraryFolder(const std::string& name) const {
    fs::copy_file(INCOMPLETE_CURL_PATH, libraryFolder_.path() / name);
  }

  ScratchFolder programFolder_;
  ScratchFolder libraryFolder_;
};

TEST_F(CopiedProgramTest, RunsOnThePlatformLibcurlWithNothingBesideIt) {
  const auto [status, output] = check("http://127.0.0.1:1/");
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output.find(kCannotLoadCurlMessage), std::string::npos) << output;
}

TEST_F(CopiedProgramTest, TriesTheBareNameBeforeThePlatformSoname) {
  placeInLibraryFolder(std::string(kCurlLibraryFileName));
  const auto [status, output] = check("http://127.0.0.1:1/");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output, "Fatal Error: Cannot load libcurl library\n");
}

TEST_F(CopiedProgramTest, ShowsOnlyTheFatalMessageAndEndsWhenThePlatformLibcurlFailsToo) {
  placeInLibraryFolder(std::string(kPlatformCurlLibrary));
  const auto [status, output] = check("http://127.0.0.1:1/");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output, "Fatal Error: Cannot load libcurl library\n");
}

}  // namespace
}  // namespace tallyvane
