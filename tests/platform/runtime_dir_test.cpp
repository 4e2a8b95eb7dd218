// The private runtime folder: the session's folder when it is private, else a
// folder of the user's own under the temporary folder, refused when someone
// could have planted or opened it.
#include "platform/runtime_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vashel {
namespace {

namespace fs = std::filesystem;

class RuntimeDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "runtime-dir-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    session_ = root_ / "session";
    tmp_ = root_ / "tmp";
    fs::create_directory(session_);
    fs::create_directory(tmp_);
    ::chmod(session_.c_str(), 0700);
    fallback_ = (tmp_ / ("vashel-" + std::to_string(::getuid()))).string();
  }
  void TearDown() override { fs::remove_all(root_); }

  RuntimeDir find(bool create, const char* session = nullptr) {
    return privateRuntimeDir(session, tmp_.c_str(), create);
  }

  fs::path root_, session_, tmp_;
  std::string fallback_;
};

TEST_F(RuntimeDirTest, TakesThePrivateSessionFolderElseCreatesItsOwn) {
  EXPECT_EQ(find(true, session_.c_str()).path, session_.string());
  EXPECT_FALSE(fs::exists(fallback_));
  EXPECT_TRUE(find(false).missing);  // only looked for: not created
  EXPECT_FALSE(fs::exists(fallback_));

  ::chmod(session_.c_str(), 0755);  // a session folder others can use is passed over
  const std::string gone = (root_ / "gone").string();
  for (const char* session : {static_cast<const char*>(nullptr), "relative", gone.c_str(),
                              session_.c_str()}) {
    const RuntimeDir found = find(true, session);
    EXPECT_EQ(found.path, fallback_) << found.error;
    struct stat info {};
    ASSERT_EQ(::lstat(fallback_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
  }
}

// --- Planted or opened fallbacks are refused --------------------------------

TEST_F(RuntimeDirTest, RefusesAFallbackOpenToOthersALinkOrAFile) {
  fs::create_directory(fallback_);
  ::chmod(fallback_.c_str(), 0755);
  RuntimeDir found = find(true);
  EXPECT_TRUE(found.path.empty());
  EXPECT_NE(found.error.find("open to other users (mode 755)"), std::string::npos) << found.error;

  fs::remove(fallback_);
  fs::create_directory_symlink(session_, fallback_);  // leads to a private folder, still refused
  found = find(true);
  EXPECT_TRUE(found.path.empty());
  EXPECT_NE(found.error.find("symbolic link"), std::string::npos) << found.error;

  fs::remove(fallback_);
  std::FILE* file = std::fopen(fallback_.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  ::chmod(fallback_.c_str(), 0600);
  found = find(false);
  EXPECT_TRUE(found.path.empty());
  EXPECT_FALSE(found.missing);
  EXPECT_NE(found.error.find("not a folder"), std::string::npos) << found.error;
}

TEST_F(RuntimeDirTest, RefusesAnotherUsersFolder) {
  if (::getuid() != 0) GTEST_SKIP() << "only root can give a folder away";
  fs::create_directory(fallback_);
  ::chmod(fallback_.c_str(), 0700);
  ASSERT_EQ(::chown(fallback_.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chown(session_.c_str(), 65534, 65534), 0);
  const RuntimeDir found = find(true, session_.c_str());
  EXPECT_TRUE(found.path.empty());
  EXPECT_NE(found.error.find("belongs to another user"), std::string::npos) << found.error;
}

}  // namespace
}  // namespace vashel
