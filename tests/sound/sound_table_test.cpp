// The sound slots over a recording output: which scene entries load, what a
// failed load leaves, and how the player's operations reach the output.
#include "sound/sound_table.h"

#include <gtest/gtest.h>

#include <map>

#include "sound/sound_files.h"

namespace vashel {
namespace {

using namespace vashel::testing;

class RecordingOutput final : public AudioOutput {
 public:
  OpenResult result = OpenResult::Ready;
  bool opened = false;
  std::map<int, std::string> slots;  // slot -> loaded bytes
  std::vector<std::string> calls;

  OpenResult open() override {
    opened = true;
    return result;
  }
  bool ready() const override { return opened && result == OpenResult::Ready; }
  bool load(int slot, const AudioLayout& layout, std::span<const char> samples) override {
    slots.erase(slot);
    if (layout.channels < 1 || layout.channels > 2) return false;
    slots[slot] = std::string(samples.begin(), samples.end());
    return true;
  }
  void play(int slot, long byteOffset) override {
    calls.push_back("play " + std::to_string(slot) + " " + std::to_string(byteOffset));
  }
  void stop(int slot, bool rewind) override {
    calls.push_back((rewind ? "stop " : "pause ") + std::to_string(slot));
  }
};

class SoundTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 8 frames of stereo 16-bit at 8000 Hz: 32 bytes, 32000 bytes a second.
    const std::string data(32, '\x11');
    writeBytes(dir / "a.wav", riff(chunk("fmt ", pcmFormat(2, 8000, 16)) + chunk("data", data)));
    writeBytes(dir / "mono8.wav", riff(chunk("fmt ", pcmFormat(1, 11025, 8)) + chunk("data", "abcd")));
    writeBytes(dir / "six.wav", riff(chunk("fmt ", pcmFormat(6, 8000, 16)) + chunk("data", std::string(24, 'x'))));
    writeBytes(dir / "broken.wav", "RIFF....WAVEnothing");
  }
  Scene sceneWith(std::vector<SoundEntry> entries) {
    Scene scene;
    scene.sounds = std::move(entries);
    return scene;
  }

  TempFolder dir;
  RecordingOutput output;
  SoundTable table{&output};
};

TEST_F(SoundTableTest, LoadsNamedEntriesOfSlotsBelow100) {
  ASSERT_EQ(table.initSound(), AudioOutput::OpenResult::Ready);
  std::FILE* log = std::tmpfile();
  const Scene scene = sceneWith({{dir / "a.wav", 0},
                                 {"", 1},
                                 {dir / "mono8.wav", 2},
                                 {dir / "broken.wav", 3},
                                 {dir / "six.wav", 4},
                                 {dir / "a.wav", 99},
                                 {dir / "a.wav", 100},
                                 {dir / "a.wav", -1}});
  EXPECT_EQ(table.loadAllSounds(scene, log), 3);
  EXPECT_EQ(output.slots.size(), 3u);
  for (int slot : {0, 2, 99}) EXPECT_TRUE(table.holdsBuffer(slot)) << slot;
  for (int slot : {1, 3, 4, 100, -1}) EXPECT_FALSE(table.holdsBuffer(slot)) << slot;
  EXPECT_EQ(output.slots[2], "abcd");
  EXPECT_EQ(table.bytesPerSecond(0), 32000);
  EXPECT_EQ(table.bytesPerSecond(2), 11025);
  EXPECT_EQ(table.bytesPerSecond(1), 0);
  // One line for each file that is there but cannot be played.
  std::rewind(log);
  char text[4096] = {};
  text[std::fread(text, 1, sizeof text - 1, log)] = 0;
  std::fclose(log);
  const std::string lines = text;
  EXPECT_NE(lines.find("broken.wav: no complete \"fmt \" chunk\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("six.wav: 6 channels of 16-bit samples at 8000 Hz cannot be played\n"),
            std::string::npos) << lines;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
}

// A slot that held a sound is empty after a failed load into it, and the
// operations then leave the output alone.
TEST_F(SoundTableTest, FailedReloadEmptiesTheSlot) {
  table.initSound();
  std::string problem;
  ASSERT_TRUE(table.loadSound(5, dir / "a.wav", problem)) << problem;
  EXPECT_FALSE(table.loadSound(5, dir / "missing.wav", problem));
  EXPECT_FALSE(table.holdsBuffer(5));
  EXPECT_EQ(output.slots.count(5), 0u);
  table.start(5);
  table.stop(5);
  table.seek(5, 0);
  EXPECT_TRUE(output.calls.empty());
}

TEST_F(SoundTableTest, NothingLoadsWithoutAReadyOutput) {
  for (auto result : {AudioOutput::OpenResult::NoDevice, AudioOutput::OpenResult::Unusable}) {
    RecordingOutput silent;
    silent.result = result;
    SoundTable quiet(&silent);
    EXPECT_EQ(quiet.initSound(), result);
    EXPECT_EQ(quiet.loadAllSounds(sceneWith({{dir / "a.wav", 0}})), 0);
    EXPECT_FALSE(quiet.holdsBuffer(0));
  }
  SoundTable none(nullptr);
  EXPECT_EQ(none.initSound(), AudioOutput::OpenResult::NoDevice);
  EXPECT_EQ(none.loadAllSounds(sceneWith({{dir / "a.wav", 0}})), 0);
}

// start plays from the beginning, stop rewinds, pause holds; a seek goes to
// the frame at or before the offset, and past the end the sound is over.
TEST_F(SoundTableTest, OperationsAndSeekAlignment) {
  table.initSound();
  std::string problem;
  ASSERT_TRUE(table.loadSound(7, dir / "a.wav", problem)) << problem;
  table.start(7);
  table.pause(7);
  table.seek(7, 13);
  table.seek(7, 16);
  table.seek(7, -1);
  table.seek(7, 31);
  table.seek(7, 32);
  table.stop(7);
  EXPECT_EQ(output.calls, (std::vector<std::string>{"play 7 0", "pause 7", "play 7 12", "play 7 16",
                                                    "play 7 -1", "play 7 28", "stop 7", "stop 7"}));
}

}  // namespace
}  // namespace vashel
