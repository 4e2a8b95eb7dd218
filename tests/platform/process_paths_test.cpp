// The process's own paths and the user's configuration folder.
#include "platform/process_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vashel {
namespace {

namespace fs = std::filesystem;

TEST(ProcessPaths, ConfigHomeTakesOnlyAbsoluteFolders) {
  EXPECT_EQ(userConfigHome("/x/conf", "/home/u"), "/x/conf");
  EXPECT_EQ(userConfigHome(nullptr, "/home/u"), "/home/u/.config");
  EXPECT_EQ(userConfigHome("", "/home/u/"), "/home/u/.config");
  EXPECT_EQ(userConfigHome("relative", "/home/u"), "/home/u/.config");
  EXPECT_EQ(userConfigHome(nullptr, "relative"), "");
  EXPECT_EQ(userConfigHome(nullptr, nullptr), "");
}

TEST(ProcessPaths, OwnPathAndCurrentDirectory) {
  const std::string program = executablePath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(fs::path(program).filename(), "platform_tests");
  EXPECT_EQ(currentDirectory(), fs::current_path().string());
}

}  // namespace
}  // namespace vashel
