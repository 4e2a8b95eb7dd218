// Sounds played through OpenAL Soft's wave-file backend, which writes what it
// mixes to a file in real time: the written output shows when the player's
// sound started, stopped and from where it played.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "anim/player_fakes.h"
#include "platform/audio_openal.h"
#include "scene/loader.h"
#include "sound/sound_files.h"
#include "sound/sound_table.h"

namespace vashel {
namespace {

using namespace vashel::testing;
using namespace std::chrono_literals;

constexpr int kRate = 22050;
constexpr int kFull = 20000;     // the test sound's loudest sample
constexpr double kRampSeconds = 1.0;

// OpenAL Soft reads its configuration once per process, so every test here
// writes to the same file, one after the other.
const fs::path& outputFolder() {
  static const fs::path folder = [] {
    fs::path dir = fs::temp_directory_path() / ("vashel_playback_" + std::to_string(getpid()));
    fs::create_directories(dir);
    writeBytes(dir / "alsoft.conf", "[general]\ndrivers=wave\nfrequency=" + std::to_string(kRate) +
                                        "\nchannels=mono\nsample-type=int16\n[wave]\nfile=" +
                                        (dir / "out.wav").string() + "\n");
    ::setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
    ::unsetenv("ALSOFT_DRIVERS");
    return dir;
  }();
  return folder;
}

// A square wave whose loudness rises evenly from 5% to full over a second:
// its level tells where in the sound the output is.
std::string rampWave() {
  std::string data;
  const int frames = static_cast<int>(kRampSeconds * kRate) + kRate / 2;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double level = std::min(1.0, 0.05 + 0.95 * t / kRampSeconds);
    const int value = static_cast<int>(kFull * level) * ((i / 20) % 2 ? 1 : -1);
    data += u16(static_cast<unsigned>(value & 0xffff));
  }
  return riff(chunk("fmt ", pcmFormat(1, kRate, 16)) + chunk("data", data));
}

// Level of the output in 10 ms windows: the loudest sample of each.
std::vector<int> windowLevels(const std::vector<std::int16_t>& samples) {
  std::vector<int> levels;
  const std::size_t window = kRate / 100;
  for (std::size_t at = 0; at + window <= samples.size(); at += window) {
    int most = 0;
    for (std::size_t i = at; i < at + window; ++i) most = std::max(most, std::abs(int{samples[i]}));
    levels.push_back(most);
  }
  return levels;
}

// Runs of sound in the output, as [first, last] windows.
struct SoundRun {
  int first, last;
  int length() const { return last - first + 1; }
};
std::vector<SoundRun> soundRuns(const std::vector<int>& levels) {
  std::vector<SoundRun> runs;
  for (int i = 0; i < static_cast<int>(levels.size()); ++i) {
    if (levels[i] < 300) continue;
    if (!runs.empty() && runs.back().last >= i - 2) {
      runs.back().last = i;
    } else {
      runs.push_back({i, i});
    }
  }
  return runs;
}

class Playback : public ::testing::Test {
 protected:
  void SetUp() override {
    outputFolder();
    writeBytes(dir / "ramp.wav", rampWave());
    output = std::make_unique<OpenAlOutput>();
    ASSERT_EQ(output->open(), AudioOutput::OpenResult::Ready)
        << "OpenAL Soft's wave backend did not open";
    opened = std::chrono::steady_clock::now();  // the written file starts about here
    table = std::make_unique<SoundTable>(output.get());
    rig.player.ports.sound = table.get();
    rig.player.soundEnabled = true;
    rig.player.clock.playState = kPlaying;
    rig.random.values.assign(64, 0);  // message choices; not what these tests watch
  }

  // Closes the device, which completes the file, and returns its levels.
  std::vector<int> finish() {
    table.reset();
    output.reset();
    std::string problem;
    const auto written = loadSound((outputFolder() / "out.wav").string(), problem);
    EXPECT_TRUE(written) << problem;
    if (!written) return {};
    EXPECT_EQ(written->format.channels, 1);
    EXPECT_EQ(written->format.sampleRate, kRate);
    return windowLevels(samples16(written->data));
  }

  // Where the written file stands now, about: a loaded machine may oversleep,
  // so tests compare the output with the times they really acted at.
  int msSinceOpen() const {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - opened)
                                .count());
  }
  // Whether a run of sound begins and ends within the mixer's latency of the
  // times the sound was started and stopped.
  static void expectRunBetween(const SoundRun& run, int startMs, int stopMs) {
    EXPECT_GE(run.first * 10, startMs - 60) << "started at " << startMs;
    EXPECT_LE(run.first * 10, startMs + 150) << "started at " << startMs;
    EXPECT_GE(run.last * 10, stopMs - 60) << "stopped at " << stopMs;
    EXPECT_LE(run.last * 10, stopMs + 150) << "stopped at " << stopMs;
  }

  TempFolder dir;
  std::chrono::steady_clock::time_point opened;
  PlayerRig rig;
  std::unique_ptr<OpenAlOutput> output;
  std::unique_ptr<SoundTable> table;
};

// An action's sound starts with its first frame; mute stops it; unmute
// plays it again from its beginning; an action whose sound number is 100
// is silent although the sound list names a file for that number.
TEST_F(Playback, ActionMuteUnmuteAndSoundOutOfRange) {
  Scene& scene = rig.scene;
  scene.sounds = {{"", 0}, {dir / "ramp.wav", 1}};
  for (int i = 2; i <= 100; ++i) scene.sounds.push_back({dir / "ramp.wav", i});
  scene.sounds[5].fileName.clear();
  ASSERT_EQ(table->loadAllSounds(scene, nullptr), 98);
  rig.define(2, 1, 1000).soundSlot = 1;
  rig.define(3, 1, 1000).soundSlot = 100;

  std::this_thread::sleep_for(300ms);
  const int started = msSinceOpen();
  setNewAction(rig.player, scene, 2, {}, {});
  beginFrame(rig.player);  // the frame render starts the pending sound
  std::this_thread::sleep_for(400ms);
  const int muted = msSinceOpen();
  stopCurrentSound(rig.player);  // mute
  std::this_thread::sleep_for(400ms);
  const int unmuted = msSinceOpen();
  startCurrentSound(rig.player);  // unmute
  std::this_thread::sleep_for(400ms);
  const int switched = msSinceOpen();
  setNewAction(rig.player, scene, 3, {}, {});
  beginFrame(rig.player);
  EXPECT_EQ(rig.player.currentSound, 100);
  std::this_thread::sleep_for(400ms);
  const int ended = msSinceOpen();

  const std::vector<int> levels = finish();
  const std::vector<SoundRun> runs = soundRuns(levels);
  ASSERT_EQ(runs.size(), 2u) << "expected the sound, a muted gap, the sound again, then silence";
  expectRunBetween(runs[0], started, muted);
  expectRunBetween(runs[1], unmuted, switched);
  EXPECT_GE(ended - runs[1].last * 10, 200) << "sound number 100 was heard";
  // Both plays begin at the quiet start of the ramp; played on from where it
  // stopped, the second would begin near 45% of full.
  const int firstOnset = levels[runs[0].first + 3];
  const int secondOnset = levels[runs[1].first + 3];
  EXPECT_LT(firstOnset, kFull / 5);
  EXPECT_NEAR(secondOnset, firstOnset, kFull / 10);
  EXPECT_GT(levels[runs[0].last - 3], 2 * firstOnset);
}

// Pause holds the sound where it is; a seek plays on from the byte offset,
// here half a second into the ramp.
TEST_F(Playback, PauseThenSeekPlaysFromTheOffset) {
  std::string problem;
  ASSERT_TRUE(table->loadSound(4, dir / "ramp.wav", problem)) << problem;
  rig.player.currentSound = 4;
  std::this_thread::sleep_for(200ms);
  startCurrentSound(rig.player);
  std::this_thread::sleep_for(200ms);
  pauseCurrentSound(rig.player);
  std::this_thread::sleep_for(300ms);
  // Half a second of 16-bit mono, plus a stray byte that alignment drops.
  seekCurrentSound(rig.player, kRate + 1);
  std::this_thread::sleep_for(300ms);
  stopCurrentSound(rig.player);
  std::this_thread::sleep_for(200ms);

  const std::vector<int> levels = finish();
  const std::vector<SoundRun> runs = soundRuns(levels);
  ASSERT_EQ(runs.size(), 2u);
  const double expected = kFull * (0.05 + 0.95 * 0.5 / kRampSeconds);
  EXPECT_NEAR(levels[runs[1].first + 1], expected, kFull * 0.08);
  // The first play ended near a quarter of the ramp, well below the resume.
  EXPECT_LT(levels[runs[0].last - 1], expected - kFull * 0.15);
}

// The bundled character's scene loads its sounds through the loader's hook,
// and each action with a sound is heard while it plays and not after.
TEST_F(Playback, SampleActionsAreHeard) {
  class SoundHooks final : public LoadHooks {
   public:
    explicit SoundHooks(SoundTable& table) : table_(table) {}
    void loadAllSounds(const Scene& scene) override { loaded = table_.loadAllSounds(scene); }
    int loaded = -1;

   private:
    SoundTable& table_;
  } hooks(*table);
  const fs::path before = fs::current_path();
  // Sound names are relative to the scene's folder, where the program runs.
  fs::current_path(std::string(VASHEL_TEST_DATA) + "/../../examples/sample");
  Scene& scene = rig.scene;
  scene = Scene{};
  LoadStatus status;
  std::string problem;
  parseSceneFile("data.glj", scene, hooks, status, problem);
  fs::current_path(before);
  ASSERT_EQ(hooks.loaded, 6) << problem;
  // The greeting would take the place of the second action change.
  scene.defaultMessage.text.clear();

  struct Played {
    int action, atMs, stoppedMs;
  };
  std::vector<Played> played;
  for (int key = 0; key < kActionSlots; ++key) {
    const Action* action = scene.action(key);
    if (action == nullptr || !action->defined() || !table->holdsBuffer(action->soundSlot)) continue;
    played.push_back({key, msSinceOpen(), 0});
    setNewAction(rig.player, scene, key, {}, {});
    ASSERT_EQ(rig.player.currentAction, key);
    beginFrame(rig.player);
    std::this_thread::sleep_for(600ms);  // some sounds begin after a short rest
    played.back().stoppedMs = msSinceOpen();
    stopCurrentSound(rig.player);
    std::this_thread::sleep_for(800ms);
  }
  ASSERT_EQ(played.size(), 6u);

  const std::vector<int> levels = finish();
  const auto loudest = [&](int fromMs, int toMs) {
    int most = 0;
    for (int w = fromMs / 10; w < toMs / 10 && w < static_cast<int>(levels.size()); ++w) {
      most = std::max(most, levels[w]);
    }
    return most;
  };
  for (const Played& p : played) {
    SCOPED_TRACE("action " + std::to_string(p.action));
    // The mixer may run a little behind the test's clock on a busy machine,
    // so the windows keep clear of the moments of starting and stopping.
    EXPECT_GT(loudest(p.atMs + 150, p.stoppedMs - 60), 1000);
    EXPECT_LT(loudest(p.stoppedMs + 250, p.stoppedMs + 550), 100);
  }
}

}  // namespace
}  // namespace vashel
