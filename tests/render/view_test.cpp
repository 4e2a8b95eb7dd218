// Clip planes of both cameras and the follow-the-mouse turning.
#include "render/view.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform_fakes.h"

namespace vashel {
namespace {

TEST(ClipPlanes, BuiltInCameraFollowsTheDistance) {
  EXPECT_EQ(builtInClipPlanes(-200.0).nearPlane, 100);
  EXPECT_EQ(builtInClipPlanes(-200.0).farPlane, 600);
  EXPECT_EQ(builtInClipPlanes(0.0).nearPlane, 1);
  EXPECT_EQ(builtInClipPlanes(0.0).farPlane, 501);
  EXPECT_EQ(builtInClipPlanes(-150.9).nearPlane, 50);           // truncated toward zero
  EXPECT_EQ(builtInClipPlanes(-1.0e30).nearPlane, 2000000000);  // no overflow
}

TEST(ClipPlanes, SceneCameraCloserThanTheDistanceGetsNearOne) {
  EXPECT_EQ(sceneCameraClipPlanes(150.0, 0.0).nearPlane, 1);
  EXPECT_EQ(sceneCameraClipPlanes(150.0, 0.0).farPlane, 601);
  EXPECT_EQ(sceneCameraClipPlanes(450.5, 0.0).nearPlane, 250);
  EXPECT_EQ(sceneCameraClipPlanes(450.5, 0.0).farPlane, 850);
  EXPECT_EQ(sceneCameraClipPlanes(std::nan(""), 0.0).nearPlane, 1);
}

class ScriptedPointer final : public DesktopPointer {
 public:
  ClientPoint cursorPosition() override { return cursor; }
  ScreenRect windowRectangle() override { return window; }
  ClientPoint cursor{0, 0};
  ScreenRect window{100, 100, 341, 421};  // centre (220, 260)
};

using testing::ScriptedRandom;

TEST(FollowMouse, EasesYawTowardsTheCursorAndTiltsWithIt) {
  RenderState state;
  ScriptedPointer pointer;
  ScriptedRandom random;
  pointer.cursor = {320, 360};  // dx = 100, dy = 100: 45 degrees
  updateFollowMouse(state, pointer, random);
  EXPECT_DOUBLE_EQ(state.follow.targetYaw, 45.0);
  EXPECT_DOUBLE_EQ(state.view.yaw, 4.5);
  EXPECT_DOUBLE_EQ(state.view.pitch, 2.0);
  updateFollowMouse(state, pointer, random);
  EXPECT_DOUBLE_EQ(state.view.yaw, 4.5 + (45.0 - 4.5) * 0.1);
  EXPECT_EQ(state.follow.stillFrames, 1);

  pointer.cursor = {320, 60};  // above the centre: the heading flips
  updateFollowMouse(state, pointer, random);
  // dx = 100, dy = -200: atan(-0.5), negated because the cursor is above.
  EXPECT_DOUBLE_EQ(state.follow.targetYaw, std::atan(0.5) * 57.29577951308232);
  EXPECT_DOUBLE_EQ(state.view.pitch, -4.0);
  EXPECT_EQ(random.drawn, 0);
}

TEST(FollowMouse, CursorLevelWithTheCentreFacesTheFront) {
  RenderState state;
  state.view.yaw = 30.0;
  ScriptedPointer pointer;
  ScriptedRandom random;
  pointer.cursor = {900, 260};  // dy = 0
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.targetYaw, 0.0);
  EXPECT_DOUBLE_EQ(state.view.yaw, 27.0);
  EXPECT_EQ(state.view.pitch, 0.0);
}

TEST(FollowMouse, PitchIsClampedToTwentyDegrees) {
  RenderState state;
  ScriptedPointer pointer;
  ScriptedRandom random;
  pointer.cursor = {220, 5000};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.view.pitch, 20.0);
  pointer.cursor = {220, -5000};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.view.pitch, -20.0);
}

TEST(FollowMouse, AStillCursorLetsTheCharacterLookAround) {
  RenderState state;
  ScriptedPointer pointer;
  ScriptedRandom random;
  pointer.cursor = {220, 260};  // at the centre: target 0, already facing it
  for (int frame = 0; frame < 301; ++frame) updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.stillFrames, 300);
  EXPECT_EQ(random.drawn, 0);

  // 6 in 101: a draw of 6 keeps looking ahead, one of 5 picks a heading.
  random.values = {6};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.targetYaw, 0.0);
  random.values = {5, 400};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.targetYaw, 40.0);  // 400 modulo 360
  EXPECT_EQ(state.follow.stillFrames, 0);

  // The next heading waits until the character has turned to within a
  // degree of this one, however long the cursor stays still.
  for (int frame = 0; frame < 300; ++frame) updateFollowMouse(state, pointer, random);
  state.view.yaw = -100.0;  // turned away by hand
  random.values = {5};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.targetYaw, 40.0);
  EXPECT_EQ(state.follow.stillFrames, 301);
  state.view.yaw = 39.5;
  random.values = {3, 90};
  updateFollowMouse(state, pointer, random);
  EXPECT_EQ(state.follow.targetYaw, 90.0);
  EXPECT_TRUE(random.values.empty());
}

}  // namespace
}  // namespace vashel
