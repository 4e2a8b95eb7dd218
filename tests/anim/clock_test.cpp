#include "anim/clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player_fakes.h"

namespace vashel {
namespace {

using testing::fileText;
using testing::PlayerRig;

// A range that is not played out, so that scheduling corrects lateness.
void playLongRange(PlayerRig& rig, int rate, std::int32_t playStart) {
  setFrameRate(rig.player.clock, rate, nullptr);
  setRange(rig.player.clock, 1, 100000);
  rig.player.clock.playStartTime = playStart;
}

int scheduleAt(PlayerRig& rig, std::int32_t now) {
  rig.clock.ms = now;
  return scheduleNextTick(rig.player, rig.scene);
}

TEST(FrameClock, FrameRateSetsPeriodAndPrints) {
  PlayerClock clock;
  std::FILE* out = std::tmpfile();
  setFrameRate(clock, 15, out);
  EXPECT_DOUBLE_EQ(clock.framePeriod, 1000.0 / 15);
  EXPECT_EQ(clock.displayRate, 15);
  EXPECT_EQ(fileText(out), "[FRAMESEC] 66.67 (15fps)\n");
  std::fclose(out);

  setFrameRate(clock, 0, nullptr);  // would divide by zero
  setFrameRate(clock, -5, nullptr);
  EXPECT_EQ(clock.displayRate, 15);
  EXPECT_DOUBLE_EQ(clock.framePeriod, 1000.0 / 15);
}

TEST(FrameClock, AdvanceByTimeUsesThirtyFramesPerSecondAndClamps) {
  PlayerClock clock;
  setRange(clock, 10, 20);
  clock.playStartTime = 5000;
  advanceByTime(clock, 5100);  // one 10 fps tick: about three animation frames
  EXPECT_DOUBLE_EQ(clock.currentFrame, 13.0);
  advanceByTime(clock, 5050);
  EXPECT_DOUBLE_EQ(clock.currentFrame, 11.5);  // fractional while inside the range
  advanceByTime(clock, 5000 + 10 * 34);        // rounds to 20: still inside
  EXPECT_NEAR(clock.currentFrame, 20.2, 1e-9);
  advanceByTime(clock, 5000 + 1000);
  EXPECT_DOUBLE_EQ(clock.currentFrame, 20.0);
  advanceByTime(clock, 4000);  // before the range started
  EXPECT_DOUBLE_EQ(clock.currentFrame, 10.0);
}

TEST(FrameClock, AdvanceByTimeAcrossTheMillisecondWrap) {
  PlayerClock clock;
  setRange(clock, 0, 1000);
  clock.playStartTime = INT32_MAX - 49;
  advanceByTime(clock, INT32_MIN + 50);  // 100 ms later on a wrapped clock
  EXPECT_DOUBLE_EQ(clock.currentFrame, 3.0);
}

TEST(FrameClock, StepsRoundThenClampToTheRange) {
  PlayerClock clock;
  setRange(clock, 5, 7);
  clock.currentFrame = 5.6;
  EXPECT_EQ(stepForward(clock), 7);
  EXPECT_EQ(stepForward(clock), 7);
  EXPECT_EQ(stepBack(clock), 6);
  EXPECT_EQ(stepBack(clock), 5);
  EXPECT_EQ(stepBack(clock), 5);
}

TEST(FrameClock, FramePaintRepeatsStepForwardAndRestartSound) {
  PlayerRig rig;
  PlayerClock& clock = rig.player.clock;
  setRange(clock, 1, 10);
  clock.playStartTime = rig.clock.ms;
  rig.player.soundEnabled = true;
  rig.player.currentSound = 3;

  beginFrame(rig.player);  // frame 1, new
  EXPECT_EQ(clock.lastIntegerFrame, 1);
  EXPECT_EQ(clock.distinctFrameCounter, 1);
  EXPECT_EQ(rig.sound.calls, (std::vector<std::string>{"stop 3", "start 3"}));
  EXPECT_FALSE(rig.player.soundRestart);

  rig.clock.ms += 10;  // still frame 1: shown as frame 2 instead
  beginFrame(rig.player);
  EXPECT_DOUBLE_EQ(clock.currentFrame, 2.0);
  EXPECT_EQ(clock.paintCounter, 2);
  EXPECT_EQ(clock.distinctFrameCounter, 1);
  EXPECT_EQ(rig.sound.calls.size(), 2u);
}

struct RateCase {
  int rate;
  int endDelay;      // armed at a range end: the period truncated
  int onTimeAt;      // a tick one period after the first
  int onTimeDelay;   // the corrected delay, rounded up
};

TEST(FrameClockScheduling, OnTimeTicksAtEveryRate) {
  for (const RateCase c : {RateCase{10, 100, 100, 100}, RateCase{15, 66, 67, 67},
                           RateCase{20, 50, 50, 50}, RateCase{25, 40, 40, 40},
                           RateCase{30, 33, 34, 34}}) {
    SCOPED_TRACE(c.rate);
    PlayerRig rig;
    playLongRange(rig, c.rate, 0);
    EXPECT_EQ(scheduleAt(rig, 0), 0);  // first scheduling: no interval yet
    EXPECT_EQ(scheduleAt(rig, c.onTimeAt), c.onTimeAt);
    EXPECT_EQ(rig.player.clock.lateness, 0);
    ASSERT_EQ(rig.timer.delays.size(), 2u);
    EXPECT_EQ(rig.timer.delays[0], 50);  // the initial delay, kept
    EXPECT_EQ(rig.timer.delays[1], c.onTimeDelay);

    // Played out: re-armed after the truncated period.
    rig.player.clock.currentFrame = 100000;
    EXPECT_EQ(scheduleAt(rig, c.onTimeAt + 5), c.endDelay);
    EXPECT_EQ(rig.timer.delays.back(), c.endDelay);
  }
}

TEST(FrameClockScheduling, ATickJustPastItsSlotWaitsForTheNextSlot) {
  // 1 ms past the first slot, 6 ms after the previous tick: the interval
  // since the previous tick plays no part.
  const struct {
    int rate, now, delay;
  } cases[] = {{10, 101, 99}, {15, 68, 66}, {20, 51, 49}, {25, 41, 39}, {30, 35, 33}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    PlayerRig rig;
    playLongRange(rig, c.rate, 0);
    scheduleAt(rig, c.now - 6);
    scheduleAt(rig, c.now);
    EXPECT_EQ(rig.player.clock.lateness, 1);
    EXPECT_EQ(rig.timer.delays.back(), c.delay);
  }
}

TEST(FrameClockScheduling, LateTicksShortenTheDelayDownToTheMinimum) {
  PlayerRig rig;
  playLongRange(rig, 20, 0);
  scheduleAt(rig, 0);
  scheduleAt(rig, 60);  // 10 ms past the slot at 50
  EXPECT_EQ(rig.player.clock.lateness, 10);
  EXPECT_EQ(rig.timer.delays.back(), 40);

  scheduleAt(rig, 140);  // 40 ms past its slot: the next one is too close
  EXPECT_EQ(rig.player.clock.lateness, 0);
  EXPECT_EQ(rig.timer.delays.back(), 18);  // 17.333 rounded up
  EXPECT_DOUBLE_EQ(rig.player.clock.currentDelay, kMinDelayMs);

  PlayerRig slow;
  playLongRange(slow, 10, 0);
  scheduleAt(slow, 0);
  scheduleAt(slow, 130);
  EXPECT_EQ(slow.player.clock.lateness, 30);
  EXPECT_EQ(slow.timer.delays.back(), 70);
}

TEST(FrameClockScheduling, TwoSchedulingsInOneMillisecondKeepThePreviousDelay) {
  PlayerRig rig;
  playLongRange(rig, 20, 0);
  scheduleAt(rig, 0);
  scheduleAt(rig, 60);
  ASSERT_EQ(rig.timer.delays.back(), 40);
  EXPECT_EQ(scheduleAt(rig, 60), 0);
  EXPECT_EQ(rig.timer.delays.back(), 40);
  EXPECT_EQ(rig.player.clock.lateness, 10);
}

class ZeroRandom final : public RandomSource {
 public:
  int rand() override { return 0; }
};

// The desktop's tick loop for `seconds` with a timer that fires exactly when
// armed: each tick paints (beginFrame) and schedules the next, as the shell
// does. The clock starts some time after the idle action (a 3 s loop, like
// the sample's), as it does after loading. Returns paints per second.
double paintsPerSecondWithIdealTimer(int rate, int seconds) {
  PlayerRig rig;
  ZeroRandom random;
  rig.player.ports.random = &random;
  rig.scene.actions[0].endFrame = 90;
  setFrameRate(rig.player.clock, rate, nullptr);
  rig.startUp();
  rig.clock.ms += 137;
  startClock(rig.player);
  const std::int32_t end = rig.clock.ms + seconds * 1000;
  int paints = 0;
  while (!rig.timer.delays.empty()) {  // empty: the clock stopped
    rig.clock.ms += rig.timer.delays.back();
    if (rig.clock.ms > end) break;
    rig.timer.delays.clear();
    beginFrame(rig.player);
    scheduleNextTick(rig.player, rig.scene);
    finishTick(rig.player);
    ++paints;
  }
  return static_cast<double>(paints) / seconds;
}

TEST(FrameClockScheduling, IdealTimersPaintAtTheChosenRate) {
  for (int rate : {10, 15, 20, 25, 30}) {
    EXPECT_NEAR(paintsPerSecondWithIdealTimer(rate, 10), rate, rate * 0.05) << rate << " fps";
  }
}

TEST(FrameClockScheduling, PlayedOutRangeRestartsTheIdleAction) {
  PlayerRig rig;
  setRange(rig.player.clock, 1, 10);
  rig.player.clock.currentFrame = 9.6;  // rounds to the end frame
  rig.player.soundRestart = false;
  EXPECT_EQ(scheduleAt(rig, 2000), 50);
  EXPECT_TRUE(rig.player.soundRestart);
  EXPECT_EQ(rig.player.callCounter, 1);
  EXPECT_DOUBLE_EQ(rig.player.clock.currentFrame, 1.0);
  EXPECT_EQ(rig.player.clock.playStartTime, 2000);
  EXPECT_EQ(rig.timer.delays, std::vector<int>{50});
}

TEST(FrameClockScheduling, WithoutAnIdleActionTheLastFrameIsHeld) {
  PlayerRig rig;
  rig.scene.actions[0].endFrame = 0;
  setRange(rig.player.clock, 1, 10);
  rig.player.clock.currentFrame = 10;
  EXPECT_EQ(scheduleAt(rig, 2000), 50);
  EXPECT_EQ(rig.player.callCounter, 0);
  EXPECT_DOUBLE_EQ(rig.player.clock.currentFrame, 10.0);
}

TEST(PlayStats, PrintsTheSummaryAndEveryFrameRecord) {
  PlayerRig rig;
  std::FILE* out = std::tmpfile();
  rig.player.log = out;
  PlayerClock& clock = rig.player.clock;
  setRange(clock, 1, 10);
  clock.paintCounter = 12;
  clock.distinctFrameCounter = 9;
  clock.playStartTime = 1000;
  recordFrameStat(clock, 1100);
  clock.currentFrame = 2.5;
  recordFrameStat(clock, 1150);
  rig.clock.ms = 1500;
  printPlayStats(rig.player);
  EXPECT_EQ(clock.playTime, 500);
  EXPECT_EQ(fileText(out),
            "[PLAYEND] PLAYTIME:500 / 333.33 FRAMES:12 / 9 / 10 FPS:18.00 / 20 / 20.00\n"
            "[PLAY FRAME STAT]\n"
            "No.001 : 1100 (1100)ms\n"
            "No.003 : 1150 (50)ms\n");
  std::fclose(out);
}

TEST(PlayStats, ZeroPlayTimeGivesNoRate) {
  PlayerRig rig;
  std::FILE* out = std::tmpfile();
  rig.player.log = out;
  setRange(rig.player.clock, 1, 3);
  rig.player.clock.playStartTime = rig.clock.ms;
  printPlayStats(rig.player);
  EXPECT_EQ(fileText(out),
            "[PLAYEND] PLAYTIME:0 / 100.00 FRAMES:0 / 0 / 3 FPS:0.00 / 20 / 0.00\n"
            "[PLAY FRAME STAT]\n");
  std::fclose(out);
}

TEST(PlayStats, ServesTheStatisticsBoxRequestOnce) {
  PlayerRig rig;
  std::vector<std::string> boxes;
  rig.player.showPlayStats = [&](const std::string& text) { boxes.push_back(text); };
  rig.player.currentAction = 7;
  setRange(rig.player.clock, 1, 30);
  rig.player.clock.distinctFrameCounter = 25;
  rig.player.clock.playStartTime = 0;
  rig.clock.ms = 1000;
  printPlayStats(rig.player);
  EXPECT_TRUE(boxes.empty());
  rig.player.statsRequested = true;
  printPlayStats(rig.player);
  printPlayStats(rig.player);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0],
            "[ANIM No.] 007\n[PLAYTIME] 1000 / 1000.00 ms\n[FRAMES] 0 / 25 / 30 frams\n"
            "[FPS] 25.00 / 20 / 30.00 fps\n");
  EXPECT_FALSE(rig.player.statsRequested);
}

TEST(PlayStats, FrameRecordsStopGrowingWhenNoActionEverClearsThem) {
  PlayerClock clock;
  for (int i = 0; i < 200000; ++i) recordFrameStat(clock, i);
  EXPECT_EQ(clock.frameStats.size(), 100000u);
}

TEST(FrameClockPause, PauseArmsNothingAndResumeArmsAfterTheTruncatedPeriod) {
  for (int stopped : {kPaused, kFrameWalk}) {
    SCOPED_TRACE(stopped);
    PlayerRig rig;
    playLongRange(rig, 15, 0);
    scheduleAt(rig, 0);
    rig.timer.delays.clear();
    setPlaying(rig.player, false);
    rig.player.clock.playState = stopped;
    EXPECT_TRUE(rig.timer.delays.empty());
    // A paint while stopped still measures the interval but arms nothing.
    EXPECT_EQ(scheduleAt(rig, 70), 70);
    EXPECT_TRUE(rig.timer.delays.empty());

    setPlaying(rig.player, true);
    EXPECT_EQ(rig.player.clock.playState, kPlaying);
    EXPECT_EQ(rig.timer.delays, std::vector<int>{66});
  }
  PlayerRig rig;
  setPlaying(rig.player, false);
  EXPECT_EQ(rig.player.clock.playState, kPaused);
  EXPECT_TRUE(rig.timer.delays.empty());
}

TEST(FrameClockPause, PaintsWhileStoppedStepThroughTheFramesWhateverTheTime) {
  for (int stopped : {kPaused, kFrameWalk}) {
    SCOPED_TRACE(stopped);
    PlayerRig rig;
    PlayerClock& clock = rig.player.clock;
    setRange(clock, 1, 4);
    clock.playStartTime = rig.clock.ms;
    beginFrame(rig.player);  // playing: frame 1
    clock.playState = stopped;
    rig.clock.ms += 100;  // three frames' time, which no longer counts
    std::vector<int> shown;
    for (int paint = 0; paint < 8; ++paint) {
      beginFrame(rig.player);
      shown.push_back(roundFrame(clock.currentFrame));
    }
    // A repeated frame steps forward; the stepped frame is then shown once
    // more as a new one before the next step.
    EXPECT_EQ(shown, (std::vector<int>{2, 2, 3, 3, 4, 4, 4, 4}));
    EXPECT_EQ(clock.paintCounter, 9);
    EXPECT_EQ(clock.distinctFrameCounter, 4);
  }
}

TEST(FrameClockSound, APendingRestartPlaysOnlyWhilePlayingWithSoundOutput) {
  struct SoundCase {
    const char* name;
    bool pending;
    int playState;
    bool soundEnabled;
    bool muted;
    std::vector<std::string> calls;
    bool pendingAfter;
  };
  const SoundCase cases[] = {
      {"playing", true, kPlaying, true, false, {"stop 3", "start 3"}, false},
      {"nosound setting", true, kPlaying, true, true, {"stop 3"}, false},
      {"nothing pending", false, kPlaying, true, false, {}, false},
      {"paused", true, kPaused, true, false, {}, true},
      {"frame walk", true, kFrameWalk, true, false, {}, true},
      {"no sound output", true, kPlaying, false, false, {}, true},
  };
  for (const SoundCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRig rig;
    setRange(rig.player.clock, 1, 10);
    rig.player.clock.playStartTime = rig.clock.ms;
    rig.player.clock.playState = c.playState;
    rig.player.soundRestart = c.pending;
    rig.player.soundEnabled = c.soundEnabled;
    rig.player.nosound = [&c] { return c.muted; };
    rig.player.currentSound = 3;
    beginFrame(rig.player);
    EXPECT_EQ(rig.sound.calls, c.calls);
    EXPECT_EQ(rig.player.soundRestart, c.pendingAfter);
  }
}

}  // namespace
}  // namespace vashel
