// Clip planes of both cameras, scene cameras and lights as GL holds them,
// and the follow-the-mouse turning.
#include "render/view.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "platform_fakes.h"
#include "render/render_fixture.h"

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

using testing::constantCurve;
using testing::RenderTest;
using Vec3 = std::array<double, 3>;

// A scene camera's pose, and the world directions of its right, up and
// viewing axes worked out by hand (it turns about x first, then y, then z).
struct CameraCase {
  Vec3 position;
  Vec3 rotate;
  double distance;
  Vec3 right, up, forward;
};

void PrintTo(const CameraCase& c, std::ostream* os) {
  *os << "at " << c.position[0] << "," << c.position[1] << "," << c.position[2] << " turned "
      << c.rotate[0] << "," << c.rotate[1] << "," << c.rotate[2] << " distance " << c.distance;
}

class SceneCamera : public RenderTest,
                    public ::testing::WithParamInterface<CameraCase> {};

TEST_P(SceneCamera, PointsInFrontLandWhereItsPoseSays) {
  const CameraCase& c = GetParam();
  Camera camera;
  camera.vfov = 60.0;
  for (int axis = 0; axis < 3; ++axis) {
    camera.curves[TranslateX + axis] = constantCurve(c.position[axis]);
    camera.curves[RotateX + axis] = constantCurve(c.rotate[axis]);
  }
  scene.cameras = {Camera{}, camera};
  scene.activeCamera = 1;
  state.view.distance = c.distance;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  setupCamera(scene, state, 1.0);
  GLdouble m[16];  // column-major
  glGetDoublev(GL_PROJECTION_MATRIX, m);

  // A point 100 ahead of the camera and (x, y) off its axis appears at
  // (x, y) over the depth, scaled by the field of view; the distance pushes
  // the whole scene further away.
  const double depth = 100.0 - c.distance;
  const double scale = 1.0 / std::tan(30.0 * kDegreesToRadians);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {0.0, 20.0}, {-15.0, 5.0}}) {
    double world[4] = {0, 0, 0, 1};
    for (int k = 0; k < 3; ++k) {
      world[k] = c.position[k] + 100.0 * c.forward[k] + x * c.right[k] + y * c.up[k];
    }
    double clip[4];
    for (int row = 0; row < 4; ++row) {
      clip[row] = m[row] * world[0] + m[4 + row] * world[1] + m[8 + row] * world[2] +
                  m[12 + row] * world[3];
    }
    EXPECT_NEAR(clip[0] / clip[3], scale / state.aspect * x / depth, 1e-5) << x << "," << y;
    EXPECT_NEAR(clip[1] / clip[3], scale * y / depth, 1e-5) << x << "," << y;
  }
}

const double kSin30 = 0.5, kCos30 = std::sqrt(0.75);

INSTANTIATE_TEST_SUITE_P(
    Poses, SceneCamera,
    ::testing::Values(
        CameraCase{{10, 20, 30}, {0, 0, 0}, 0, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
        CameraCase{{0, 0, 0}, {0, 90, 0}, 0, {0, 0, -1}, {0, 1, 0}, {-1, 0, 0}},
        CameraCase{{0, 0, 0}, {90, 90, 0}, 0, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}},
        CameraCase{{-4, 0, 9}, {0, 90, 90}, 0, {0, 0, -1}, {-1, 0, 0}, {0, -1, 0}},
        CameraCase{{0, 3, 0}, {90, 0, 90}, 0, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}},
        CameraCase{{5, -7, 40}, {30, 0, 0}, -50, {1, 0, 0}, {0, kCos30, kSin30},
                   {0, kSin30, -kCos30}}));

TEST_F(RenderTest, LightDirectionsTurnWithTheLight) {
  // The direction (0, 0, 1) turned about x, then y, then z, by hand; lights
  // ignore whatever modelview the caller left.
  const std::pair<Vec3, Vec3> cases[] = {
      {{0, 0, 0}, {0, 0, 1}},   {{90, 0, 0}, {0, -1, 0}},
      {{0, 90, 0}, {1, 0, 0}},  {{0, 90, 90}, {0, 1, 0}},
      {{90, 0, 90}, {1, 0, 0}}, {{90, 90, 0}, {0, -1, 0}},
      {{30, 0, 0}, {0, -kSin30, kCos30}},
  };
  for (const auto& [rotate, direction] : cases) {
    Light light;
    light.type = kLightDirectional;
    for (int axis = 0; axis < 3; ++axis) {
      light.curves[RotateX + axis] = constantCurve(rotate[axis]);
    }
    scene.lights.push_back(light);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotatef(33.0f, 1.0f, 1.0f, 0.0f);
  glTranslatef(5.0f, 6.0f, 7.0f);
  setupLights(scene, state, 1.0, nullptr);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + i);
    GLfloat position[4] = {9, 9, 9, 9};
    glGetLightfv(id, GL_POSITION, position);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(position[k], cases[i].second[k], 1e-6) << i;
    EXPECT_EQ(position[3], 0.0f) << i;
    EXPECT_TRUE(glIsEnabled(id)) << i;
  }
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
}

TEST_F(RenderTest, AmbientLightsLightOnlyTheAmbientTermOthersDiffuseAndSpecular) {
  using Rgba4 = std::array<GLfloat, 4>;
  const Rgba4 color{0.2f, 0.4f, 0.6f, 0.0f};
  const Rgba4 none{0, 0, 0, 0};
  const Rgba4 shine{0.8f, 0.8f, 0.8f, 0.0f};
  struct TypeCase {
    int type;
    Rgba4 ambient, diffuse, specular;
  };
  // Light 0 keeps GL's own defaults when its type is unknown.
  const TypeCase cases[] = {
      {kLightNone, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}},
      {kLightAmbient, color, none, none},
      {kLightPoint, none, color, shine},
      {kLightDirectional, none, color, shine},
  };
  for (const TypeCase& c : cases) {
    Light light;
    light.type = c.type;
    light.color = color;
    scene.lights.push_back(light);
  }
  glMatrixMode(GL_MODELVIEW);
  setupLights(scene, state, 1.0, nullptr);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + i);
    const std::pair<GLenum, Rgba4> terms[] = {
        {GL_AMBIENT, cases[i].ambient}, {GL_DIFFUSE, cases[i].diffuse},
        {GL_SPECULAR, cases[i].specular}};
    for (const auto& [term, expected] : terms) {
      Rgba4 actual{9, 9, 9, 9};
      glGetLightfv(id, term, actual.data());
      EXPECT_EQ(actual, expected) << "light " << i << " term " << std::hex << term;
    }
    EXPECT_TRUE(glIsEnabled(id)) << i;
  }
}

}  // namespace
}  // namespace vashel
