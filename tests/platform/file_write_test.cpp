// Writing the user's files: folders made as needed, a file replaced whole or
// not at all, nothing left behind on failure.
#include "platform/file_write.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vashel {
namespace {

namespace fs = std::filesystem;

class FileWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "file-write-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  static std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(root_), {}));
  }

  fs::path root_;
};

TEST_F(FileWriteTest, ReplacesTheWholeFileWithTheModeGiven) {
  const std::string path = (root_ / "entry").string();
  std::string error;
  ASSERT_TRUE(writeFileAtomically(path, "first\n", 0644, error)) << error;
  ASSERT_TRUE(writeFileAtomically(path, std::string("second\0x", 8), 0600, error)) << error;
  EXPECT_EQ(contents(path), std::string("second\0x", 8));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(entries(), 1u) << "no temporary file is left";
  EXPECT_EQ(pathKind(path), PathKind::File);

  EXPECT_TRUE(removeFile(path, error)) << error;
  EXPECT_EQ(pathKind(path), PathKind::Missing);
  EXPECT_FALSE(removeFile(path, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
}

TEST_F(FileWriteTest, FailuresLeaveNothingAndSayWhy) {
  std::string error;
  const std::string inMissing = (root_ / "missing" / "entry").string();
  EXPECT_FALSE(writeFileAtomically(inMissing, "x", 0644, error));
  EXPECT_NE(error.find((root_ / "missing").string()), std::string::npos) << error;

  // The name is taken by a folder: the rename fails and the temporary goes.
  fs::create_directory(root_ / "taken");
  fs::create_directory(root_ / "taken" / "inside");
  error.clear();
  EXPECT_FALSE(writeFileAtomically((root_ / "taken").string(), "x", 0644, error));
  EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(pathKind((root_ / "taken").string()), PathKind::Folder);
}

TEST_F(FileWriteTest, MakesMissingFoldersPrivately) {
  const fs::path deep = root_ / "a" / "b" / "c";
  std::string error;
  ASSERT_TRUE(makeFolders(deep.string(), error)) << error;
  ASSERT_TRUE(makeFolders(deep.string() + "/", error)) << "already there: " << error;
  for (const fs::path& folder : {root_ / "a", root_ / "a" / "b", deep}) {
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u) << folder;
  }

  std::ofstream(root_ / "file") << "x";
  error.clear();
  EXPECT_FALSE(makeFolders((root_ / "file").string(), error));
  EXPECT_FALSE(makeFolders((root_ / "file" / "below").string(), error));
  EXPECT_NE(error.find("file"), std::string::npos) << error;
  EXPECT_FALSE(makeFolders("", error));

  fs::create_symlink(root_ / "a", root_ / "link");
  EXPECT_EQ(pathKind((root_ / "link").string()), PathKind::Other) << "the link itself";
}

}  // namespace
}  // namespace vashel
