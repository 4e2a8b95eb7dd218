// Joint world, inverse bind and skin matrices, and downloaded joint keys.
#include "anim/pose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "anim/clock.h"
#include "player_fakes.h"

namespace vashel {
namespace {

AnimCurve constantCurve(double value) {
  AnimCurve curve(1);
  curve.times[0] = 0.0;
  curve.values[0] = value;
  return curve;
}

// Keys (time, value) read from the keys, not baked.
AnimCurve linearCurve(std::initializer_list<std::pair<double, double>> keys) {
  AnimCurve curve(keys.size());
  std::size_t i = 0;
  for (const auto& [time, value] : keys) {
    curve.times[i] = time;
    curve.values[i] = value;
    ++i;
  }
  return curve;
}

void expectPoint(const Vec4& actual, double x, double y, double z, double tolerance = 1e-9) {
  EXPECT_NEAR(actual[0], x, tolerance);
  EXPECT_NEAR(actual[1], y, tolerance);
  EXPECT_NEAR(actual[2], z, tolerance);
  EXPECT_NEAR(actual[3], 1.0, tolerance);
}

TEST(Matrix, RotationsAreRightHandedInDegrees) {
  expectPoint(transform(rotationZ(90), {1, 0, 0, 1}), 0, 1, 0);
  expectPoint(transform(rotationX(90), {0, 1, 0, 1}), 0, 0, 1);
  expectPoint(transform(rotationY(90), {0, 0, 1, 1}), 1, 0, 0);
  // Products apply the right-hand factor first.
  const Mat4 m = multiply(translationMatrix(5, 0, 0), rotationZ(90));
  expectPoint(transform(m, {1, 0, 0, 1}), 5, 1, 0);
}

TEST(JointPose, WorldChainsParentTranslationOrientAndRotation) {
  std::vector<Joint> joints(2);
  joints[0].curves[TranslateY] = constantCurve(10.0);
  joints[0].curves[RotateZ] = constantCurve(90.0);
  joints[1].parent = 0;
  joints[1].curves[TranslateX] = constantCurve(4.0);
  PoseFrame frame{1.0, kPlaying, 0};
  computeJointWorld(joints, 0, frame);
  computeJointWorld(joints, 1, frame);
  // The child sits 4 along the parent's x axis, which the parent turned to +y.
  expectPoint(transform(joints[1].world, {0, 0, 0, 1}), 0, 14, 0);
  EXPECT_EQ(joints[0].changed, 1);
  EXPECT_EQ(joints[1].changed, 1);
}

TEST(JointPose, RotationAppliesXThenYThenZThenOrient) {
  std::vector<Joint> joints(1);
  joints[0].jointOrientation = {0, 0, 90, 1};
  joints[0].curves[RotateX] = constantCurve(90.0);
  computeJointWorld(joints, 0, PoseFrame{1.0, kPlaying, 0});
  // y turned by x to +z, which the orient about z leaves alone; the other
  // order would give (-1, 0, 0).
  expectPoint(transform(joints[0].world, {0, 1, 0, 1}), 0, 0, 1);
  expectPoint(transform(joints[0].world, {1, 0, 0, 1}), 0, 1, 0);
}

// Quarter turns on two or three axes at once: the expected axis images are
// worked out by hand from "x first, then y, then z, then the orient", and
// any other order moves at least one of them.
struct TurnCase {
  std::array<double, 3> rotate;  // x, y, z degrees
  std::array<double, 3> orient;
  std::array<Vec4, 3> axes;  // where the x, y and z axes end up
};

void PrintTo(const TurnCase& c, std::ostream* os) {
  *os << "rotate " << c.rotate[0] << "," << c.rotate[1] << "," << c.rotate[2] << " orient "
      << c.orient[0] << "," << c.orient[1] << "," << c.orient[2];
}

class JointTurns : public ::testing::TestWithParam<TurnCase> {};

TEST_P(JointTurns, WorldAndInverseBindFollowTheRotationOrder) {
  const TurnCase& c = GetParam();
  const Vec4 t{1, 2, 3, 1};
  auto expectAxes = [&](const Mat4& world) {
    expectPoint(transform(world, {0, 0, 0, 1}), t[0], t[1], t[2]);
    for (int axis = 0; axis < 3; ++axis) {
      Vec4 unit{0, 0, 0, 1};
      unit[axis] = 1;
      const Vec4& image = c.axes[axis];
      expectPoint(transform(world, unit), t[0] + image[0], t[1] + image[1], t[2] + image[2]);
    }
  };
  std::vector<Joint> joints(1);
  Joint& joint = joints[0];
  joint.jointOrientation = {c.orient[0], c.orient[1], c.orient[2], 1};
  for (int axis = 0; axis < 3; ++axis) {
    joint.curves[TranslateX + axis] = constantCurve(t[axis]);
    if (c.rotate[axis] != 0) joint.curves[RotateX + axis] = constantCurve(c.rotate[axis]);
  }
  {
    SCOPED_TRACE("playing");
    computeSkinMatrix(joints, 0, PoseFrame{1.0, kPlaying, 1});
    expectAxes(joint.world);
    // At the bind frame the inverse bind undoes the world matrix exactly.
    const Mat4 identity = identityMatrix();
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(joint.skin[k], identity[k], 1e-12) << k;
  }
  {
    SCOPED_TRACE("paused, hand-turned angles");
    for (int axis = RotateX; axis <= RotateZ; ++axis) joint.curves[axis].reset();
    joint.cachedRotation = c.rotate;
    computeJointWorld(joints, 0, PoseFrame{1.0, kPaused, 1});
    expectAxes(joint.world);
  }
}

INSTANTIATE_TEST_SUITE_P(
    QuarterTurns, JointTurns,
    ::testing::Values(
        TurnCase{{90, 90, 0}, {0, 0, 0}, {{{0, 0, -1, 0}, {1, 0, 0, 0}, {0, -1, 0, 0}}}},
        TurnCase{{0, 90, 90}, {0, 0, 0}, {{{0, 0, -1, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}}}},
        TurnCase{{90, 0, 90}, {0, 0, 0}, {{{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}}}},
        TurnCase{{90, 90, 90}, {0, 0, 0}, {{{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}}}},
        TurnCase{{0, 0, 0}, {90, 0, 90}, {{{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}}}},
        TurnCase{{90, 90, 0}, {0, 0, 90}, {{{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}}}},
        TurnCase{{0, 90, 0}, {90, 0, 0}, {{{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}}}}));

TEST(JointPose, PausedKeepsCachedRotationButFollowsTranslation) {
  std::vector<Joint> joints(1);
  joints[0].curves[TranslateX] = linearCurve({{0, 0}, {10, 10}});
  joints[0].curves[RotateZ] = linearCurve({{0, 0}, {10, 90}});
  joints[0].cachedRotation = {0, 0, 45};
  computeJointWorld(joints, 0, PoseFrame{10.0, 0, 0});
  expectPoint(transform(joints[0].world, {1, 0, 0, 1}), 10 + std::sqrt(0.5), std::sqrt(0.5), 0);
  EXPECT_DOUBLE_EQ(joints[0].cachedRotation[2], 45.0);

  // Playing takes the curve's angle and remembers it for the next pause.
  computeJointWorld(joints, 0, PoseFrame{4.6, kPlaying, 0});
  EXPECT_DOUBLE_EQ(joints[0].cachedRotation[2], 45.0);  // frame 5 rounded half up
  computeJointWorld(joints, 0, PoseFrame{10.0, kPlaying, 0});
  EXPECT_DOUBLE_EQ(joints[0].cachedRotation[2], 90.0);
}

TEST(SkinMatrix, IsIdentityAtTheBindFrame) {
  std::vector<Joint> joints(3);
  joints[0].curves[TranslateY] = constantCurve(3.0);
  joints[0].curves[RotateY] = constantCurve(30.0);
  joints[0].jointOrientation = {10, 20, 30, 1};
  joints[1].parent = 0;
  joints[1].curves[TranslateX] = constantCurve(7.0);
  joints[1].curves[RotateX] = constantCurve(-45.0);
  joints[2].parent = 1;
  joints[2].jointOrientation = {0, 90, 0, 1};
  const bool changed = updatePose(joints, PoseFrame{2.0, kPlaying, 2});
  EXPECT_TRUE(changed);
  const Mat4 identity = identityMatrix();
  for (const Joint& joint : joints) {
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(joint.skin[k], identity[k], 1e-12) << k;
  }
}

TEST(SkinMatrix, MovesAVertexByTheJointsTurnSinceTheBindFrame) {
  // A joint at (0, 10, 0) turning 90 degrees about z between frame 0 (bind)
  // and frame 10: the point (5, 10, 0), 5 along the joint's x, swings to
  // 5 along +y from the joint: (0, 15, 0).
  std::vector<Joint> joints(1);
  joints[0].curves[TranslateY] = constantCurve(10.0);
  joints[0].curves[RotateZ] = linearCurve({{0, 0}, {10, 90}});
  updatePose(joints, PoseFrame{10.0, kPlaying, 0});
  expectPoint(transform(joints[0].skin, {5, 10, 0, 1}), 0, 15, 0);
  expectPoint(transform(joints[0].inverseBind, {5, 10, 0, 1}), 5, 0, 0);
}

TEST(SkinMatrix, ParentOutsideTheListCountsAsNone) {
  std::vector<Joint> joints(2);
  joints[0].parent = 7;
  joints[1].parent = 1;  // itself
  joints[1].curves[TranslateZ] = constantCurve(2.0);
  updatePose(joints, PoseFrame{1.0, kPlaying, 0});
  expectPoint(transform(joints[0].world, {0, 0, 0, 1}), 0, 0, 0);
  expectPoint(transform(joints[1].world, {0, 0, 0, 1}), 0, 0, 2);
}

// Captures what a function prints on a FILE*.
class CapturedFile {
 public:
  CapturedFile() : file_(std::tmpfile()) {}
  ~CapturedFile() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string text() { return testing::fileText(file_); }

 private:
  std::FILE* file_;
};

DownloadedJoint downloadedJoint(const std::string& name) {
  DownloadedJoint joint;
  joint.name = name;
  joint.translate[1] = {{0.0f, 20.0f}, {1.0f, 3.0f}};
  joint.rotate[2] = {{0.0f, 20.0f}, {0.0f, 1.5707964f}};
  return joint;
}

TEST(DownloadedAnimation, ReplacesCurvesBakesThemAndSetsTheEndFrame) {
  Scene scene;
  scene.sceneStartFrame = 0;
  scene.sceneEndFrame = 10;
  scene.joints.resize(2);
  scene.joints[0].name = "hip";
  scene.joints[1].name = "neck";
  scene.joints[1].curves[RotateX] = constantCurve(33.0);
  DownloadedAnimation animation;
  animation.end = 20;
  animation.joints.push_back(downloadedJoint("neck"));

  CapturedFile log;
  ASSERT_TRUE(applyDownloadedAnimation(scene, animation, log.get()));
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(scene.sceneEndFrame, 20);

  const Joint& neck = scene.joints[1];
  for (int slot = 0; slot < kNodeCurveCount; ++slot) {
    ASSERT_TRUE(neck.curves[slot].has_value()) << slot;
    EXPECT_EQ(neck.curves[slot]->frames.size(), 21u) << slot;  // baked to the set's end
  }
  // The old rotate X curve is gone: the set gave no keys for it.
  EXPECT_EQ(neck.curves[RotateX]->keyCount(), 0u);
  EXPECT_EQ(evaluateCurve(*neck.curves[RotateX], 5), 0.0);
  // Bezier samples near a key overwrite its frame, so the first frame is
  // only close to the key; the tail fill holds the last key exactly.
  EXPECT_NEAR(evaluateCurve(*neck.curves[TranslateY], 0), 1.0, 1e-3);
  EXPECT_NEAR(evaluateCurve(*neck.curves[TranslateY], 10), 2.0, 0.05);
  EXPECT_DOUBLE_EQ(evaluateCurve(*neck.curves[TranslateY], 20), 3.0);
  // Radians to degrees; the key value was a float.
  EXPECT_NEAR(evaluateCurve(*neck.curves[RotateZ], 20), 90.0, 1e-5);
  for (double tangent : neck.curves[RotateZ]->tangentAngle) EXPECT_EQ(tangent, 0.0);
  EXPECT_FALSE(scene.joints[0].curves[RotateZ].has_value());
}

TEST(DownloadedAnimation, UnknownJointIsReportedOnceAndLeavesTheSceneAlone) {
  Scene scene;
  scene.joints.resize(1);
  scene.joints[0].name = "hip";
  scene.joints[0].curves[RotateX] = constantCurve(33.0);
  DownloadedAnimation animation;
  animation.end = 30;
  animation.joints.push_back(downloadedJoint("tail"));
  animation.joints.push_back(downloadedJoint("Hip"));  // names match exactly

  CapturedFile log;
  ASSERT_TRUE(applyDownloadedAnimation(scene, animation, log.get()));
  EXPECT_EQ(log.text(), "   ↑整合がとれてないよ\n   ↑整合がとれてないよ\n");
  EXPECT_DOUBLE_EQ(scene.joints[0].curves[RotateX]->values[0], 33.0);
  EXPECT_FALSE(scene.joints[0].curves[RotateZ].has_value());
  EXPECT_EQ(scene.sceneEndFrame, 30);
}

TEST(DownloadedAnimation, RejectsEndFramesThatCannotBeBaked) {
  Scene scene;
  scene.sceneEndFrame = 10;
  scene.joints.resize(1);
  scene.joints[0].name = "hip";
  for (int end : {-5, kMaxDownloadedEndFrame + 1}) {
    DownloadedAnimation animation;
    animation.end = end;
    animation.joints.push_back(downloadedJoint("hip"));
    CapturedFile log;
    EXPECT_FALSE(applyDownloadedAnimation(scene, animation, log.get())) << end;
    EXPECT_NE(log.text(), "");
    EXPECT_EQ(scene.sceneEndFrame, 10);
    EXPECT_FALSE(scene.joints[0].curves[TranslateY].has_value());
  }
}

TEST(DownloadedAnimation, KeyListsOfUnequalLengthUseTheCommonPart) {
  Joint joint;
  DownloadedJoint keys;
  keys.translate[0] = {{0.0f, 5.0f, 9.0f}, {2.0f, 4.0f}};
  applyJointKeys(joint, keys, 0, 10);
  ASSERT_TRUE(joint.curves[TranslateX].has_value());
  EXPECT_EQ(joint.curves[TranslateX]->keyCount(), 2u);
  EXPECT_DOUBLE_EQ(evaluateCurve(*joint.curves[TranslateX], 10), 4.0);
}

}  // namespace
}  // namespace vashel
