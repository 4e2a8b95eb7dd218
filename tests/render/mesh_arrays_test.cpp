// The array path draws what the per-face path draws: every test scene and
// the sample at several frames, the guide, picking, and corners that lack a
// vertex, normal, texture coordinate or colour of their own.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "render/render_fixture.h"
#include "render/textures.h"
#include "scene/loader.h"

namespace vashel::testing {
namespace {

struct Difference {
  int largest = 0;  // largest difference of one byte
  int pixels = 0;   // pixels that differ at all
  int covered = 0;  // pixels with alpha in the reference
};

class ArrayPathTest : public RenderTest {
 protected:
  void TearDown() override {
    if (!previous_.empty()) std::filesystem::current_path(previous_);
  }

  // Loads a scene file as the program does, from its own folder (textures
  // and message files are found there).
  void load(const std::filesystem::path& file) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(file.parent_path());
    scene = Scene{};
    state.deform = DeformTables{};
    LoadHooks hooks;
    LoadStatus status;
    ASSERT_EQ(tryLoadScene(file.filename().string(), scene, hooks, status), 1) << file;
    offscreen.showScene(scene, nullptr);
  }

  std::vector<std::uint8_t> frameWith(GeometryPath path, double frame) {
    state.geometry = path;
    player.clock.currentFrame = frame;
    const FrameView view = draw();
    return {view.bgra.begin(), view.bgra.end()};
  }

  Difference compareAt(double frame) {
    const auto reference = frameWith(GeometryPath::PerFace, frame);
    const auto arrays = frameWith(GeometryPath::Arrays, frame);
    Difference d;
    for (std::size_t i = 0; i + 3 < reference.size() && i + 3 < arrays.size(); i += 4) {
      int worst = 0;
      for (std::size_t c = 0; c < 4; ++c) worst = std::max(worst, std::abs(reference[i + c] - arrays[i + c]));
      d.largest = std::max(d.largest, worst);
      d.pixels += worst != 0;
      d.covered += reference[i + 3] != 0;
    }
    return d;
  }

  // Each frame of the scene's range at four points, then the guide on.
  void expectSamePictures(const std::string& what) {
    const double first = scene.sceneStartFrame, last = std::max(scene.sceneEndFrame, 1);
    int covered = 0;
    for (int step = 0; step < 4; ++step) {
      const double frame = first + (last - first) * step / 3.0;
      const Difference d = compareAt(frame);
      EXPECT_LE(d.largest, 1) << what << " at frame " << frame << ": " << d.pixels << " pixels differ";
      covered += d.covered;
    }
    EXPECT_GT(covered, 0) << what << " draws nothing";
    state.flags.guide = 1;
    const Difference guided = compareAt(first);
    EXPECT_LE(guided.largest, 1) << what << " with the guide: " << guided.pixels << " pixels differ";
    state.flags.guide = 0;
  }

  // Frame 1 both ways as the scene stands, then again under a white
  // directional light; `beforeLit` may change the scene in between.
  template <typename Change>
  void expectSameUnlitAndLit(int covered, Change&& beforeLit) {
    const Difference unlit = compareAt(1);
    EXPECT_GT(unlit.covered, covered);
    EXPECT_LE(unlit.largest, 1) << unlit.pixels << " pixels differ unlit";

    Light light;
    light.type = kLightDirectional;
    light.color = {0.9f, 0.9f, 0.9f, 0};
    scene.lights.push_back(light);
    beforeLit();
    const Difference lit = compareAt(1);
    EXPECT_GT(lit.covered, covered);
    EXPECT_LE(lit.largest, 1) << lit.pixels << " pixels differ lit";
  }

  // The mesh a selection pick finds at each point of a grid, with one path.
  std::vector<int> picksWith(GeometryPath path) {
    state.geometry = path;
    std::vector<int> found;
    for (int y = 8; y < kHeight; y += 24) {
      for (int x = 8; x < kWidth; x += 24) {
        offscreen.clickAt({x, y});
        player.clock.playState = kFrameWalk;
        draw();
        found.push_back(state.lastPickIndex);
      }
    }
    return found;
  }

  std::filesystem::path previous_;
};

TEST_F(ArrayPathTest, EveryTestSceneAndTheSampleLookTheSameBothWays) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(VASHEL_TEST_DATA)) {
    if (entry.path().extension() == ".gl") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 4u);
  files.push_back(std::filesystem::path(VASHEL_TEST_DATA) / "../../examples/sample/data.glj");
  for (const auto& file : files) {
    load(file);
    expectSamePictures(file.filename().string());
    std::filesystem::current_path(previous_);
  }
}

TEST_F(ArrayPathTest, PicksFindTheSameMeshesBothWays) {
  load(std::filesystem::path(VASHEL_TEST_DATA) / "../../examples/sample/data.glj");
  const auto reference = picksWith(GeometryPath::PerFace);
  ASSERT_GT(std::count_if(reference.begin(), reference.end(), [](int i) { return i >= 0; }), 0);
  EXPECT_EQ(picksWith(GeometryPath::Arrays), reference);
}

// Corners without a usable normal or texture coordinate take the last one
// sent, also from the mesh before; vertices without colour take the colour
// before them; corners without a vertex are left out of their face.
TEST_F(ArrayPathTest, CornersWithoutTheirOwnAttributesCarryTheLastOnesBothWays) {
  const std::string text =
      "mesh slanted World\n color 1 1 1\n"
      " v -60 -20 0\n v -25 -20 0\n v -25 20 0\n v -60 20 0\n"
      " vt 0 0\n vt 1 1\n vn 0.7 0.1 0.7\n vn -0.3 0.5 0.8\n"
      " f 1/1/1 2/1/1 3/2/2 4/2/2\n"
      "mesh borrowing World\n color 1 1 1\n"
      " v -20 -20 0\n v 20 -20 0\n v 20 20 0\n v -20 20 0\n v 0 35 0\n"
      " vt 0.5 0\n vn 0 0 1\n"
      " f 1/9/7 2/-4/0 3/1/1 4/7/8\n f 5/1/9 3/5/1 99/1/1 4/1/1\n f 1// 2/1/ 77//\n"
      "mesh painted World\n color 0 0 1\n"
      " v 25 -20 0\n v 60 -20 0\n v 60 20 0\n v 25 20 0\n"
      " f 1// 2// 3// 4//\n";
  LoadHooks hooks;
  LoadStatus status;
  parseScene(text, LoadOptions{}, scene, hooks, status);
  ASSERT_EQ(scene.meshes.size(), 3u);
  ASSERT_EQ(scene.meshes[2].faceCount(), 1u);
  scene.activeCamera = -1;
  scene.textureNames = {"checks"};
  scene.textureImages = {TextureImage{"checks", 2, 2, {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu}}};
  scene.meshes[1].texture = 0;
  scene.meshes[1].texFilter = 0;
  // The first vertex has no colour, so it keeps the material colour; the
  // fourth takes the third's.
  scene.meshes[2].colors = {{-1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 0.5}, {-1, 0, 0, 0}};
  scene.meshes[2].alphaGain = constantCurve(0.8);
  uploadTextures(scene, state, nullptr);

  expectSameUnlitAndLit(1000, [this] { scene.meshes[1].doubleSided = 0; });
}

// Outlines and opaque faces are drawn unblended; whatever may let the
// picture behind show through keeps its blending: a see-through material,
// a texture with a see-through texel, see-through vertex colours.
TEST_F(ArrayPathTest, SeeThroughPiecesBlendAsBefore) {
  const std::string text =
      "mesh back World\n color 0.9 0.1 0.1\n edgeLevel: 3\n"
      " v -60 -50 -5\n v 60 -50 -5\n v 60 50 -5\n v -60 50 -5\n vn 0 0 1\n"
      " f 1//1 2//1 3//1 4//1\n"
      "mesh glass World\n color 0.1 0.2 0.9\n edgeLevel: 2\n"
      " v -50 -40 0\n v -5 -40 0\n v -5 0 0\n v -50 0 0\n vn 0 0 1\n"
      " f 1//1 2//1 3//1 4//1\n"
      "mesh decal World\n color 1 1 1\n edgeLevel: 2\n"
      " v 5 -40 0\n v 50 -40 0\n v 50 0 0\n v 5 0 0\n"
      " vt 0 0\n vt 1 0\n vt 1 1\n vt 0 1\n vn 0 0 1\n"
      " f 1/1/1 2/2/1 3/3/1 4/4/1\n"
      "mesh tinted World\n color 1 1 1\n"
      " v -50 5 0\n v -5 5 0\n v -5 45 0\n v -50 45 0\n"
      " f 1// 2// 3// 4//\n";
  LoadHooks hooks;
  LoadStatus status;
  parseScene(text, LoadOptions{}, scene, hooks, status);
  ASSERT_EQ(scene.meshes.size(), 4u);
  scene.activeCamera = -1;
  scene.textureNames = {"holes"};
  scene.textureImages = {TextureImage{"holes", 2, 2, {0xff0000ffu, 0x4000ff00u, 0xffff0000u, 0x80ffffffu}}};
  scene.meshes[2].texture = 0;
  scene.meshes[2].texFilter = 0;
  scene.meshes[3].colors = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 0.25}, {1, 1, 0, 1}};
  scene.meshes[1].alphaGain = constantCurve(0.5);
  uploadTextures(scene, state, nullptr);

  expectSameUnlitAndLit(5000, [] {});
}

}  // namespace
}  // namespace vashel::testing
