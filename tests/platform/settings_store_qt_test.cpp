// The settings file: where it lives, how values sit in it, the string rules
// (1024 bytes, a terminating NUL, code page 932 bytes kept byte for byte),
// its owner-only mode, deleting, and paths that are not ours to read.
#include "platform/settings_store_qt.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vashel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vashel-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    path_ = root_ + "/config/Vashel/Vashel.conf";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string fileText() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void writeFile(const std::string& text) const {
    fs::create_directories(fs::path(path_).parent_path());
    std::ofstream(path_, std::ios::binary) << text;
  }
  static mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  }

  std::string root_;
  std::string path_;
};

TEST(UserSettingsPath, FollowsXdgConfigHomeOnlyWhenAbsolute) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/home/someone", 1);
  ::setenv("XDG_CONFIG_HOME", "/elsewhere/cfg/", 1);
  EXPECT_EQ(userSettingsPath(), "/elsewhere/cfg/Vashel/Vashel.conf");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(userSettingsPath(), "/home/someone/.config/Vashel/Vashel.conf");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(userSettingsPath(), "/home/someone/.config/Vashel/Vashel.conf");
  oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST_F(SettingsFile, ValuesSitUnderTheirOwnNamesAndMissingOnesReadAsAbsent) {
  QtSettingsStore store(path_);
  EXPECT_FALSE(store.keyExists());
  EXPECT_FALSE(store.readDword("winx").has_value());
  store.writeDword("winx", static_cast<std::uint32_t>(-5));
  store.writeDword("small", 0);
  store.writeString("pop3host", "mail.example");
  EXPECT_TRUE(store.keyExists());
  const std::string text = fileText();
  EXPECT_NE(text.find("[General]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nwinx=4294967291\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nsmall=0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\npop3host=mail.example\n"), std::string::npos) << text;

  // A file written by hand: a negative number, a number with spaces, and
  // values that are no numbers read as missing.
  writeFile("[General]\nwinx=-30\nwiny= 700 \nalpha=on\ntop_most=2\nhuge=4294967296\n");
  const QtSettingsStore reread(path_);
  EXPECT_EQ(reread.readDword("winx"), static_cast<std::uint32_t>(-30));
  EXPECT_EQ(reread.readDword("winy"), 700u);
  EXPECT_EQ(reread.readDword("top_most"), 2u);
  EXPECT_FALSE(reread.readDword("alpha").has_value());
  EXPECT_FALSE(reread.readDword("huge").has_value());
  EXPECT_FALSE(reread.readDword("nosound").has_value());
  EXPECT_FALSE(reread.readString("pop3user").has_value());
}

TEST_F(SettingsFile, StringsReadTheSameWithOrWithoutATerminatingNulUpTo1024Bytes) {
  QtSettingsStore store(path_);
  store.writeString("pop3host", "mail.example");
  store.writeString("pop3user", "mail.example\0"s);
  EXPECT_EQ(store.readString("pop3host"), "mail.example");
  EXPECT_EQ(store.readString("pop3user"), "mail.example");

  const std::string longest(1024, 'h');
  store.writeString("pop3pass", longest);
  EXPECT_EQ(store.readString("pop3pass"), longest);
  store.writeString("pop3pass", longest + '\0');  // 1025 bytes of data
  EXPECT_FALSE(store.readString("pop3pass").has_value());
  store.writeString("pop3pass", longest + 'h');
  EXPECT_FALSE(store.readString("pop3pass").has_value());

  // The same rules for text and bytes that another writer left in the file.
  writeFile("[General]\na=@ByteArray(mail.example\\0)\nb=@String(mail.example\\0)\nc=mail.example\n"
            "d=" + std::string(1025, 'x') + "\ne=@ByteArray(" + std::string(1024, 'x') + ")\n");
  const QtSettingsStore reread(path_);
  for (const char* name : {"a", "b", "c"}) {
    EXPECT_EQ(reread.readString(name), "mail.example") << name;
  }
  EXPECT_FALSE(reread.readString("d").has_value());
  EXPECT_EQ(reread.readString("e"), std::string(1024, 'x'));
}

TEST_F(SettingsFile, CodePage932BytesComeBackByteForByte) {
  const std::string values[] = {
      "\x83\x6e\x83\x8b\x83\x4a"s,  // katakana: kept as readable text
      "\xb1\xb2\xb3"s,              // half-width katakana
      "\xed\x40\xfa\x5c"s,          // one character with two codes
      "\x87\x90\x81\xe0"s,          // likewise, another pair
      "\x80\xa0\xfd\xff\x82"s,      // bytes no text holds, a cut-short character
      "@\\\"; ,="s,                 // what an INI file treats specially
  };
  {
    QtSettingsStore store(path_);
    int i = 0;
    for (const std::string& value : values) store.writeString("s" + std::to_string(i++), value);
  }
  EXPECT_NE(fileText().find("s0=\xe3\x83\x8f\xe3\x83\xab\xe3\x82\xab\n"), std::string::npos)
      << fileText();
  const QtSettingsStore reread(path_);
  int i = 0;
  for (const std::string& value : values) {
    EXPECT_EQ(reread.readString("s" + std::to_string(i)), value) << i;
    ++i;
  }
}

TEST_F(SettingsFile, OnlyItsOwnerCanReadTheFile) {
  const mode_t oldMask = ::umask(0);  // whatever the process would give
  QtSettingsStore store(path_);
  store.writeString("pop3pass", "secret");
  EXPECT_EQ(modeOf(path_), 0600u);
  EXPECT_EQ(modeOf(root_ + "/config/Vashel"), 0700u);
  EXPECT_EQ(modeOf(root_ + "/config"), 0700u);

  // A file that was there with a wider mode is narrowed by the next save.
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
  store.writeDword("winx", 1);
  EXPECT_EQ(modeOf(path_), 0600u);
  ::umask(oldMask);
}

TEST_F(SettingsFile, DeletingRemovesEveryValue) {
  QtSettingsStore store(path_);
  store.writeDword("nosound", 1);
  store.writeString("pop3host", "mail.example");
  store.deleteKey();
  EXPECT_FALSE(store.keyExists());
  EXPECT_FALSE(fs::exists(path_));
  // Saving again starts from nothing: no old value comes back.
  store.writeDword("winx", 3);
  EXPECT_EQ(store.readDword("winx"), 3u);
  EXPECT_FALSE(store.readDword("nosound").has_value());
  EXPECT_FALSE(store.readString("pop3host").has_value());
  store.deleteKey();
  store.deleteKey();  // nothing left to delete is no error
  EXPECT_FALSE(store.keyExists());
}

TEST_F(SettingsFile, APathThatIsNoRegularFileOrTooLargeIsLeftAlone) {
  fs::create_directories(path_);  // a folder where the file should be
  QtSettingsStore store(path_);
  EXPECT_FALSE(store.keyExists());
  store.writeDword("winx", 1);
  store.deleteKey();
  EXPECT_TRUE(fs::is_directory(path_));
  fs::remove(path_);

  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);  // reading it would block for ever
  EXPECT_FALSE(store.keyExists());
  EXPECT_FALSE(store.readDword("winx").has_value());
  fs::remove(path_);

  writeFile("[General]\nwinx=1\n" + std::string(300 * 1024, '#') + "\n");
  EXPECT_FALSE(store.keyExists());
  EXPECT_FALSE(store.readDword("winx").has_value());
}

}  // namespace
}  // namespace vashel
