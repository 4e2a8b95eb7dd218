// The start-up entry in a temporary configuration folder: the toggle creates
// and removes it, the created file passes desktop-file-validate, Exec quotes
// the scene name as the Desktop Entry rules ask, values an entry cannot hold
// are refused, and the command run from a disc shows its box and writes nothing.
#include "app/startup_shortcut.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/mount_info.h"
#include "app/shell_fakes.h"

namespace vashel {
namespace {

namespace fs = std::filesystem;

// A stream whose text the test reads back.
class Capture {
 public:
  Capture() { stream_ = open_memstream(&buffer_, &size_); }
  ~Capture() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  std::FILE* stream() { return stream_; }
  std::string text() {
    std::fflush(stream_);
    return {buffer_, size_};
  }

 private:
  std::FILE* stream_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// desktop-file-validate's verdict: empty when the file passes, else its words.
std::string validatorComplaints(const fs::path& file) {
  const std::string command = "desktop-file-validate '" + file.string() + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run desktop-file-validate";
  std::string output;
  char chunk[512];
  while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  const int status = ::pclose(pipe);
  if (status == 0) return {};
  return output.empty() ? "desktop-file-validate failed (is desktop-file-utils installed?)" : output;
}

class StartupShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "startup-shortcut-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    entryPath_ = home_ / "autostart" / "Vashel.desktop";
  }
  void TearDown() override { fs::remove_all(home_); }

  fs::path home_, entryPath_;
  Capture err_;
};

TEST_F(StartupShortcutTest, TogglingCreatesThenRemovesAValidEntryForThisProgram) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  const ShortcutChange first = toggleOwnAutostartEntry("my scene.glj", "Vashel", err_.stream());
  const bool existed = fs::exists(entryPath_);
  std::vector<std::string> written;
  std::istringstream text(contents(entryPath_));
  for (std::string line; std::getline(text, line);) written.push_back(line);
  const ShortcutChange second = toggleOwnAutostartEntry("my scene.glj", "Vashel", err_.stream());
  const bool stayed = fs::exists(entryPath_);
  const ShortcutChange third = toggleOwnAutostartEntry("data.glj", "Vashel", err_.stream());
  if (saved) {
    ::setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }

  EXPECT_EQ(first, ShortcutChange::Created);
  EXPECT_TRUE(existed);
  EXPECT_EQ(second, ShortcutChange::Removed);
  EXPECT_FALSE(stayed);
  EXPECT_EQ(third, ShortcutChange::Created) << "the folder is there now";
  EXPECT_EQ(err_.text(), "");

  const std::string self = fs::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(written, (std::vector<std::string>{
                         "[Desktop Entry]",
                         "Type=Application",
                         "Name=Vashel",
                         "Comment=Vashelへのショートカット",
                         "Exec=" + self + " \"my scene.glj\"",
                         "Path=" + fs::current_path().string(),
                     }));
  EXPECT_EQ(validatorComplaints(entryPath_), "");
}

TEST_F(StartupShortcutTest, ExecQuotesReservedCharactersAndDoublesPercent) {
  EXPECT_EQ(execWord("data.glj"), "data.glj");
  EXPECT_EQ(execWord(""), "\"\"");
  EXPECT_EQ(execWord("50%.glj"), "50%%.glj");
  EXPECT_EQ(execWord("my scene.glj"), "\"my scene.glj\"");
  EXPECT_EQ(execWord("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(execWord("c:\\x"), "\"c:\\\\x\"");
  EXPECT_EQ(execWord("$HOME"), "\"\\$HOME\"");
  EXPECT_EQ(execWord("`id`"), "\"\\`id\\`\"");

  // In the file, the string escapes double each backslash once more.
  const AutostartEntry entry{"/opt/v w/vashel", "/home/u/my chara",
                             "my \"odd\" \\scene $1 50%.glj\nx", "Vashel"};
  std::string error;
  const auto text = autostartEntryText(entry, error);
  ASSERT_TRUE(text.has_value()) << error;
  EXPECT_NE(text->find("\nExec=\"/opt/v w/vashel\" "
                       "\"my \\\\\"odd\\\\\" \\\\\\\\scene \\\\$1 50%%.glj\\nx\"\n"),
            std::string::npos)
      << *text;
  EXPECT_NE(text->find("\nPath=/home/u/my chara\n"), std::string::npos) << *text;

  fs::create_directories(entryPath_.parent_path());
  std::ofstream(entryPath_, std::ios::binary) << *text;
  EXPECT_EQ(validatorComplaints(entryPath_), "");
}

TEST_F(StartupShortcutTest, RefusesWhatAnEntryCannotHoldAndWritesNothing) {
  const AutostartEntry good{"/opt/vashel", "/home/u", "data.glj", "Vashel"};
  std::string error;
  ASSERT_TRUE(autostartEntryText(good, error).has_value()) << error;

  AutostartEntry notUtf8 = good;
  notUtf8.sceneFileName = "\x82\xa0.glj";  // code page 932
  EXPECT_FALSE(autostartEntryText(notUtf8, error).has_value());
  EXPECT_NE(error.find("scene file name is not UTF-8"), std::string::npos) << error;
  AutostartEntry control = good;
  control.workingDirectory = std::string("/home/\x01u");
  EXPECT_FALSE(autostartEntryText(control, error).has_value());
  EXPECT_NE(error.find("current directory holds a control character"), std::string::npos);

  EXPECT_EQ(toggleAutostartEntry(home_.string(), notUtf8, err_.stream()), ShortcutChange::Unchanged);
  AutostartEntry noProgram = good;
  noProgram.program.clear();
  EXPECT_EQ(toggleAutostartEntry(home_.string(), noProgram, err_.stream()),
            ShortcutChange::Unchanged);
  EXPECT_EQ(toggleAutostartEntry("", good, err_.stream()), ShortcutChange::Unchanged);
  EXPECT_FALSE(fs::exists(entryPath_));
  const std::string said = err_.text();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;

  // A folder under the entry's name is neither removed nor written over.
  fs::create_directories(entryPath_);
  EXPECT_EQ(toggleAutostartEntry(home_.string(), good, err_.stream()), ShortcutChange::Unchanged);
  EXPECT_TRUE(fs::is_directory(entryPath_));
  EXPECT_NE(err_.text().find("is a folder"), std::string::npos);
}

// The desktop side of the command: the current directory's file system from a
// given mount table, the real toggle in the temporary folder.
class DiscPort final : public testing::QuietShellPort {
 public:
  class Boxes final : public Ui {
   public:
    MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon,
                             MessageBoxOptions options) override {
      shown.push_back(std::string(caption) + ": " + std::string(text));
      owned = owned || options.ownedByMainWindow;
      return MessageResult::Ok;
    }
    std::vector<std::string> shown;
    bool owned = false;
  };

  DiscPort(std::string home, std::string currentDirectory, std::FILE* err)
      : home_(std::move(home)), cwd_(std::move(currentDirectory)), err_(err) {}

  bool onOpticalMedia() const override { return isOpticalFileSystem(mountTypeAt(table, cwd_)); }
  void toggleStartupShortcut() override {
    toggleAutostartEntry(home_, {"/opt/vashel", cwd_, "data.glj", "Vashel"}, err_);
  }
  Ui& ui() override { return boxes; }

  std::string table =
      "22 1 8:2 / / rw shared:1 - ext4 /dev/sda2 rw\n"
      "41 22 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
      "42 22 11:1 / /media/cd\\040two ro - udf /dev/sr1 ro\n";
  Boxes boxes;

 private:
  std::string home_, cwd_;
  std::FILE* err_;
};

TEST_F(StartupShortcutTest, FromADiscTheCommandShowsItsBoxAndWritesNothing) {
  const char kRefusal[] =
      "ERROR: CD起動なので、スタートアップへのショートカットは登録できません。";
  Capture out;
  for (const char* cwd : {"/media/cd/chara", "/media/cd two"}) {
    AppState state;
    state.shell.out = out.stream();
    DiscPort port(home_.string(), cwd, err_.stream());
    handleCommand(state, port, kCmdStartupShortcut);
    EXPECT_EQ(port.boxes.shown, std::vector<std::string>{kRefusal}) << cwd;
    EXPECT_FALSE(port.boxes.owned);
    EXPECT_FALSE(fs::exists(home_ / "autostart")) << cwd;
  }

  AppState state;
  state.shell.out = out.stream();
  DiscPort port(home_.string(), "/media/cdrom/chara", err_.stream());
  handleCommand(state, port, kCmdStartupShortcut);
  EXPECT_TRUE(port.boxes.shown.empty());
  EXPECT_TRUE(fs::exists(entryPath_));
  EXPECT_EQ(err_.text(), "");
}

}  // namespace
}  // namespace vashel
