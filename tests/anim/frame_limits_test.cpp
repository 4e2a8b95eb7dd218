// Frame arithmetic at the int limits: ranges that end at the largest frame
// play out like any other, and the statistics of the longest ranges.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "anim/player.h"
#include "player_fakes.h"
#include "scene/curve.h"

namespace vashel {
namespace {

using testing::addElement;
using testing::fileText;
using testing::PlayerRig;

class ZeroRandom final : public RandomSource {
 public:
  int rand() override { return 0; }
};

// The desktop's tick loop with a timer that fires exactly when armed. Returns
// the ms until the next setNewAction call, or -1 if none came within limitMs.
int msUntilTheNextAction(PlayerRig& rig, int limitMs) {
  const std::int32_t start = rig.clock.ms;
  const int calls = rig.player.callCounter;
  startClock(rig.player);
  while (!rig.timer.delays.empty() && rig.clock.ms - start <= limitMs) {
    rig.clock.ms += rig.timer.delays.back();
    rig.timer.delays.clear();
    beginFrame(rig.player);
    scheduleNextTick(rig.player, rig.scene);
    finishTick(rig.player);
    if (rig.player.callCounter > calls) return rig.clock.ms - start;
  }
  return -1;
}

// Action 1 and the sequence picked by "Tip" play the 30 frames that end at
// `end`.
struct LimitRig : PlayerRig {
  explicit LimitRig(int rate, int end = INT_MAX) {
    player.ports.random = &zero;
    setFrameRate(player.clock, rate, nullptr);
    startUp();
    define(1, end - 29, end);
    XmlElement* vashel = addElement(messages, "vashel");
    addElement(*vashel, "sequence",
               {{"pick", "Tip"}, {"start", std::to_string(end - 29)}, {"end", std::to_string(end)}});
    player.messageRoot = &messages;
  }
  ZeroRandom zero;
  XmlElement messages;
};

TEST(FrameLimits, RangesEndingAtTheLargestFramePlayOutAndTheIdleActionReturns) {
  for (int rate : {10, 15, 20, 25, 30}) {
    for (const bool sequence : {false, true}) {
      SCOPED_TRACE(std::to_string(rate) + (sequence ? " fps, sequence" : " fps, action"));
      // The same 30 frames low in the frame numbers, for comparison.
      LimitRig low(rate, 129);
      setNewAction(low.player, low.scene, 1, sequence ? "Tip" : "", {});
      const int lowMs = msUntilTheNextAction(low, 5000);
      ASSERT_GT(lowMs, 900);

      LimitRig rig(rate);
      setNewAction(rig.player, rig.scene, 1, sequence ? "Tip" : "", {});
      ASSERT_EQ(rig.player.clock.endFrame, INT_MAX);
      EXPECT_EQ(msUntilTheNextAction(rig, 5000), lowMs);
      EXPECT_EQ(rig.player.currentAction, 0);
      EXPECT_EQ(rig.player.clock.startFrame, 1);
      EXPECT_EQ(rig.player.clock.endFrame, 10);
    }
  }
}

TEST(FrameLimits, TheLargestFrameIsHeldWhenNoIdleActionFollows) {
  LimitRig rig(30);
  rig.scene.actions[0].endFrame = 0;
  setNewAction(rig.player, rig.scene, 1, {}, {});
  EXPECT_EQ(msUntilTheNextAction(rig, 3000), -1);
  EXPECT_EQ(roundFrame(rig.player.clock.currentFrame), INT_MAX);
  EXPECT_LT(rig.player.clock.currentFrame, INT_MAX + 0.5);
  EXPECT_EQ(rig.player.clock.lastIntegerFrame, INT_MAX);
}

TEST(FrameLimits, StatisticsOfTheLongestRangeArePositive) {
  PlayerRig rig;
  std::FILE* out = std::tmpfile();
  rig.player.log = out;
  std::vector<std::string> boxes;
  rig.player.showPlayStats = [&](const std::string& text) { boxes.push_back(text); };
  rig.player.statsRequested = true;
  setRange(rig.player.clock, 0, INT_MAX - 1);
  rig.player.clock.playStartTime = 0;
  rig.clock.ms = 1000;
  printPlayStats(rig.player);
  EXPECT_EQ(fileText(out),
            "[PLAYEND] PLAYTIME:1000 / 71582788233.33 FRAMES:0 / 0 / 2147483647 "
            "FPS:0.00 / 20 / 2147483647.00\n[PLAY FRAME STAT]\n");
  std::fclose(out);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("[PLAYTIME] 1000 / 71582788233.33 ms\n"), std::string::npos) << boxes[0];
}

}  // namespace
}  // namespace vashel
