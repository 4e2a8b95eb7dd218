// Companion message files: default messages, action messages, the error box
// for slots without an action, and the line rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

#include "platform/codepage.h"
#include "scene/loader.h"
#include "scene_fakes.h"

namespace vashel {
namespace {

// Reads `text` as a companion file into `scene`, whose slots 1 and 3 hold
// actions.
class MessageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int slot : {1, 3}) scene.actions[slot].id = slot;
  }
  void read(const std::string& text) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    readMessageFile(file, scene, hooks);
    std::fclose(file);
  }
  Scene scene;
  RecordingHooks hooks;
};

TEST_F(MessageFile, DefaultMessage) {
  read("- 5 * Hello\\nthere\n");
  EXPECT_EQ(scene.defaultMessage.text, "Hello \nthere\n");
  EXPECT_EQ(scene.defaultMessage.seconds, 5);
  read("-x 2.9 7 later\n");  // the last one wins; the hour is not kept
  EXPECT_EQ(scene.defaultMessage.text, "later\n");
  EXPECT_EQ(scene.defaultMessage.seconds, 2);
}

TEST_F(MessageFile, ActionMessagesInFileOrder) {
  read("1 3 12   first\n1 4 *x second\n3 2 23 third");
  ASSERT_EQ(scene.actions[1].messages.size(), 2u);
  const MessageEntry& first = scene.actions[1].messages[0];
  EXPECT_EQ(first.marker, -1);
  EXPECT_EQ(first.duration, 3);
  EXPECT_EQ(first.hour, 12);
  EXPECT_EQ(first.text, "first\n");  // blanks before the text are skipped
  EXPECT_EQ(scene.actions[1].messages[1].hour, -1);
  EXPECT_EQ(scene.actions[1].messages[1].text, "second\n");
  ASSERT_EQ(scene.actions[3].messages.size(), 1u);
  EXPECT_EQ(scene.actions[3].messages[0].text, "third");  // no line break at the end of file
  EXPECT_TRUE(hooks.boxes.empty());
}

TEST_F(MessageFile, SlotWithoutActionShowsTheBox) {
  read("5 2 * nobody\n1000 2 * beyond\n3000000000 1 * wraps\n1 1 * kept\n");
  ASSERT_EQ(hooks.boxes.size(), 3u);
  EXPECT_EQ(hooks.boxes[0].caption, "MessageFile");
  EXPECT_EQ(convertToUtf8(932, hooks.boxes[0].text),
            "メッセージを設定するアクションがありません: id=5");
  EXPECT_EQ(convertToUtf8(932, hooks.boxes[1].text),
            "メッセージを設定するアクションがありません: id=1000");
  // 3000000000 keeps its low 32 bits, a negative slot.
  EXPECT_EQ(convertToUtf8(932, hooks.boxes[2].text),
            "メッセージを設定するアクションがありません: id=-1294967296");
  EXPECT_EQ(scene.actions[1].messages.size(), 1u);  // reading went on
}

TEST_F(MessageFile, SkippedLines) {
  read("x 1 * letter\n 1 1 * space\n\n#1 1 * hash\n+1 1 * plus\n");
  EXPECT_TRUE(scene.actions[1].messages.empty());
  EXPECT_TRUE(hooks.boxes.empty());
  EXPECT_TRUE(scene.defaultMessage.text.empty());
}

TEST_F(MessageFile, CrLfReadsAsALineBreak) {
  read("1 1 * windows\r\n");
  EXPECT_EQ(scene.actions[1].messages[0].text, "windows\n");
}

TEST_F(MessageFile, ShiftJisTrailBytesAreNotBackslashes) {
  // 0x95 0x5C is one character (a kanji); only the real backslash pair turns.
  read("1 1 * \x95\x5cn\\n\n");
  EXPECT_EQ(scene.actions[1].messages[0].text, "\x95\x5cn \n\n");
}

TEST_F(MessageFile, OverlongLinesLoseTheirTail) {
  const std::string longText(600, 'a');
  testing::internal::CaptureStderr();
  read("1 1 * " + longText + "\n3 1 * next\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("line 1"), std::string::npos);
  ASSERT_EQ(scene.actions[1].messages.size(), 1u);
  EXPECT_EQ(scene.actions[1].messages[0].text, std::string(511 - 6, 'a'));
  EXPECT_EQ(scene.actions[3].messages.size(), 1u);
  // Exactly 511 bytes and the line break: nothing is lost.
  read("1 1 * " + std::string(505, 'b') + "\n");
  EXPECT_EQ(scene.actions[1].messages[1].text, std::string(505, 'b') + "\n");
}

TEST(MessageFiles, SceneFileFirstThenTheSharedOne) {
  char first[] = "/tmp/vashel_messages_aXXXXXX";
  char second[] = "/tmp/vashel_messages_bXXXXXX";
  for (char* path : {first, second}) {
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  auto write = [](const char* path, const std::string& text) {
    std::FILE* file = std::fopen(path, "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  };
  write(first, "0 1 * from the scene\n- 1 * default one\n");
  write(second, "0 2 * shared\n- 2 * default two\n");
  LoadOptions options;
  options.messageFiles = {first, "/tmp/vashel-no-such-message-file", second};
  const auto parsed = parse("animation-set\n anim idle 1 10 0 c ACT_0 - s\n", options);
  const auto& messages = parsed->scene->actions[0].messages;
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "from the scene\n");
  EXPECT_EQ(messages[1].text, "shared\n");
  EXPECT_EQ(parsed->scene->defaultMessage.text, "default two\n");
  std::remove(first);
  std::remove(second);
}

}  // namespace
}  // namespace vashel
