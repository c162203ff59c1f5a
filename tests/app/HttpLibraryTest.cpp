#include "app/HttpLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/ProgramPath.h"
#include "tests/support/RecordingInterface.h"
#include "tests/support/RunCommand.h"
#include "tests/support/ScratchFolder.h"

namespace tallyvane {
namespace {

namespace fs = std::filesystem;

using testing::RecordingInterface;
using testing::ScratchFolder;

TEST(HttpLibraryTest, BindsTheLibraryNextToTheExecutableAndResolvesEveryName) {
  const auto library = HttpLibrary::bind(executableDirectory());
  ASSERT_NE(library, nullptr);
  for (size_t i = 0; i < HttpLibrary::kEntryPointCount; ++i) {
    EXPECT_NE(library->entryPoint(i), nullptr) << HttpLibrary::kEntryPointNames[i];
  }
  EXPECT_NE(library->api().easy_perform, nullptr);
}

TEST(HttpLibraryTest, DirectoryWithoutTheLibraryFailsWithTheFatalMessage) {
  ScratchFolder empty;
  EXPECT_EQ(HttpLibrary::bind(empty.path().string()), nullptr);
  RecordingInterface ui;
  EXPECT_EQ(startHttpLibrary(empty.path().string(), ui), nullptr);
  EXPECT_EQ(ui.messages(), std::vector<std::string>{"Fatal Error: Cannot load libcurl library"});
}

TEST(HttpLibraryTest, LibraryLackingACalledEntryPointIsNotLoadable) {
  ScratchFolder directory;
  fs::copy_file(INCOMPLETE_CURL_PATH, directory.path() / std::string(kCurlLibraryFileName));
  EXPECT_EQ(HttpLibrary::bind(directory.path().string()), nullptr);
}

TEST(HttpLibraryTest, ProgramWithoutItsLibraryShowsOnlyTheFatalMessageAndEnds) {
  ScratchFolder directory;
  const fs::path program = directory.path() / "tallyvane-cli";
  fs::copy_file(TALLYVANE_CLI_PATH, program);
  const auto [status, output] = testing::runCommand("env -u LD_LIBRARY_PATH " + program.string() + " check http://127.0.0.1:1/");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output, "Fatal Error: Cannot load libcurl library\n");
}

}  // namespace
}  // namespace tallyvane
