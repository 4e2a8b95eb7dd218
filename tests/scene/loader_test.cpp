// The scene loader: a hand-written scene with every key checked against
// values worked out by hand, the line classification rules, the finishing
// steps and the calls out to the rest of the program.
#include "scene/loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <span>
#include <string>

#include <unistd.h>

#include "hostile_files.h"
#include "scene/scene_builder.h"
#include "scene_fakes.h"

namespace vashel {
namespace {

const std::string kData = VASHEL_TEST_DATA;

std::vector<int> corners(std::span<const int> list) { return {list.begin(), list.end()}; }

class FullScene : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadOptions options;
    options.messageFiles = {kData + "/full.gl.txt", kData + "/no-such-file.txt"};
    parsed = parse(readFile(kData + "/full.gl"), options);
    ASSERT_EQ(parsed->scene->meshes.size(), 4u);
  }
  const Scene& scene() const { return *parsed->scene; }
  std::unique_ptr<Parsed> parsed;
};

TEST_F(FullScene, GlobalKeys) {
  EXPECT_EQ(scene().sceneStartFrame, 0);
  EXPECT_EQ(scene().sceneEndFrame, 30);
  const SceneSettings& settings = scene().settings;
  EXPECT_EQ(settings.windowSize, (std::array<int, 2>{320, 480}));
  EXPECT_EQ(settings.startupMode, (std::array<int, 2>{1, 0}));
  EXPECT_EQ(settings.randomAction, (std::array<int, 3>{5, 3, 2}));
  EXPECT_EQ(settings.randomMessage, (std::array<int, 2>{20, 60}));
  EXPECT_EQ(settings.feedUrl, "http://example.com/feed.xml");
  EXPECT_EQ(settings.fullscreen, 0);
  EXPECT_EQ(parsed->hooks.displayModeCalls, 0);
}

TEST_F(FullScene, MeshGeometry) {
  const Mesh& body = scene().meshes[0];
  EXPECT_EQ(body.name, "body");
  EXPECT_EQ(body.parent, -1);
  // translateX is 10 at frame 1: x drops by 10 in both positions.
  ASSERT_EQ(body.vertices.size(), 4u);
  EXPECT_EQ(body.vertices[0].base, (Vec4{1, 2, 3, 1}));
  EXPECT_EQ(body.vertices[0].deformed, (Vec4{1, 2, 3, 1}));
  EXPECT_EQ(body.vertices[3].base, (Vec4{-1, -2, -3, 1}));
  EXPECT_EQ(body.normals.size(), 2u);
  EXPECT_EQ(body.normals[1].base, (Vec4{0, 1, 0, 1}));  // normals are not moved
  EXPECT_EQ(body.texcoords.size(), 3u);
  EXPECT_EQ(body.texcoords[2].u, 1.0);
  ASSERT_EQ(body.colors.size(), 2u);
  EXPECT_EQ(body.colors[0].r, 0.5);
  EXPECT_EQ(body.colors[0].a, 1.0);
  EXPECT_EQ(body.colors[1].r, -1.0);
  ASSERT_EQ(body.faceCount(), 2u);
  EXPECT_EQ(corners(body.face(0).vertex), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(corners(body.face(0).texcoord), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(corners(body.face(0).normal), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(corners(body.face(1).vertex), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(corners(body.face(1).texcoord), (std::vector<int>{-1, 2, 0}));
  EXPECT_EQ(corners(body.face(1).normal), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(body.vertexArray.size(), 16u);
  EXPECT_EQ(body.normalArray.size(), 8u);
  EXPECT_EQ(body.texcoordArray.size(), 8u);
  EXPECT_EQ(scene().vertexTotal, 13);

  const Mesh& arm = scene().meshes[1];
  EXPECT_EQ(arm.parent, 0);
  ASSERT_EQ(arm.texcoords.size(), 3u);  // no "vt": one (0, 0) per vertex
  EXPECT_EQ(arm.texcoords[1].u, 0.0);
  EXPECT_EQ(arm.texcoords[1].v, 0.0);
  EXPECT_EQ(arm.faceCount(), 1u);
}

TEST_F(FullScene, MeshMaterial) {
  const Mesh& body = scene().meshes[0];
  EXPECT_EQ(body.displayMode, kDrawn);
  EXPECT_EQ(body.unpickable, 0);
  EXPECT_EQ(body.texture, 0);
  EXPECT_EQ(body.texFilter, 2);
  EXPECT_EQ(body.edgeLevel, 0.5);
  EXPECT_EQ(body.doubleSided, 0);
  EXPECT_EQ(body.color, (Color4f{0.25f, 0.5f, 0.75f, 1.0f}));  // after "texture"
  EXPECT_EQ(body.ambientColor, (Color4f{0.1f, 0.2f, 0.3f, 1.0f}));
  EXPECT_EQ(body.incandescence, (Color4f{0.4f, 0.5f, 0.6f, 1.0f}));
  EXPECT_EQ(body.specularColor, (Color4f{0.7f, 0.8f, 0.9f, 1.0f}));
  EXPECT_EQ(body.cosinePower, 12.5f);

  const Mesh& arm = scene().meshes[1];
  EXPECT_EQ(arm.texture, 1);
  EXPECT_EQ(arm.color, (Color4f{1, 1, 1, 1}));
  EXPECT_EQ(arm.picking, "wave");
  EXPECT_EQ(arm.displayMode, kPickOnly);
  EXPECT_EQ(scene().textureNames, (std::vector<std::string>{"skin.tga", "skin.tga"}));

  const Mesh& box = scene().meshes[2];
  EXPECT_EQ(box.name, "BBX");
  EXPECT_EQ(box.displayMode, kPickOnly);
  EXPECT_EQ(box.unpickable, 1);
  EXPECT_EQ(scene().boundsMin, (std::array<double, 3>{-5, -10, -5}));
  EXPECT_EQ(scene().boundsMax, (std::array<double, 3>{5, 90, 5}));
}

TEST_F(FullScene, MeshCurves) {
  const Mesh& body = scene().meshes[0];
  ASSERT_TRUE(body.curves[RotateX] && body.curves[RotateY]);
  EXPECT_DOUBLE_EQ(evaluateCurve(body.curve(RotateX), 3), 90.0);
  EXPECT_NEAR(body.curves[RotateY]->values[0], 179.99999979, 1e-8);
  EXPECT_TRUE(body.curves[RotateX]->frames.empty());  // mesh rotations are not baked
  EXPECT_EQ(body.curve(TranslateZ), nullptr);

  ASSERT_TRUE(body.alphaGain);
  ASSERT_EQ(body.alphaGain->frames.size(), 31u);  // baked when read
  for (double v : body.alphaGain->frames.expand()) EXPECT_EQ(v, 0.75);
  ASSERT_TRUE(body.alphaOffset);
  EXPECT_EQ(body.alphaOffset->frames[10], 1.0);
  EXPECT_EQ(body.alphaOffset->frames[30], 1.0);
  EXPECT_NEAR(body.alphaOffset->frames[0], 0.0, 0.01);
  EXPECT_EQ(evaluateCurve(*body.colorR, 12), 0.5);
  EXPECT_EQ(evaluateCurve(*body.colorG, 12), 0.25);
  EXPECT_EQ(body.colorB->frames[3], 1.0);
  EXPECT_EQ(body.colorB->frames[4], 1.0);
  EXPECT_EQ(body.colorB->frames[5], 2.0);
  EXPECT_EQ(body.colorB->frames[30], 2.0);
  EXPECT_EQ(evaluateCurve(*body.diffuse, 0), 0.8);
  ASSERT_TRUE(body.visibility);
  EXPECT_TRUE(body.visibility->frames.empty());
  EXPECT_EQ(evaluateCurve(*body.visibility, 5), 0.5);

  EXPECT_EQ(body.blendTargets, (std::vector<int>{3}));  // "nosuchmesh" adds nothing
  ASSERT_EQ(body.blendWeights.size(), 1u);
  EXPECT_TRUE(body.blendWeights[0].frames.empty());
  EXPECT_EQ(evaluateCurve(body.blendWeights[0], 15), 0.5);
}

TEST_F(FullScene, Joints) {
  ASSERT_EQ(scene().joints.size(), 2u);
  const Joint& hip = scene().joints[0];
  EXPECT_EQ(hip.parent, -1);
  EXPECT_EQ(hip.translation, (Vec4{1, 2, 3, 1}));
  EXPECT_EQ(hip.jointOrientation, (Vec4{10, 20, 30, 1}));
  const double half = 0.5 * kRadiansToDegrees;  // 28.64789 degrees
  EXPECT_EQ(hip.limits, (std::array<double, 6>{0, 0, -half, half, -kRadiansToDegrees,
                                                 kRadiansToDegrees}));
  EXPECT_NEAR(hip.limits[3], 28.64789, 1e-5);
  ASSERT_TRUE(hip.curves[TranslateY]);
  EXPECT_EQ(hip.curves[TranslateY]->frames.size(), 31u);  // baked
  EXPECT_EQ(hip.curves[TranslateY]->frames[10], 15.0);
  EXPECT_EQ(hip.curves[TranslateY]->frames[30], 15.0);
  EXPECT_EQ(hip.cachedRotation, (std::array<double, 3>{0, 0, half}));

  const Joint& knee = scene().joints[1];
  EXPECT_EQ(knee.parent, 0);
  EXPECT_EQ(knee.curves[RotateX]->frames[4], 0.0);
  EXPECT_EQ(knee.curves[RotateX]->frames[5], kRadiansToDegrees);
  EXPECT_EQ(knee.cachedRotation, (std::array<double, 3>{0, 0, 0}));
}

TEST_F(FullScene, SkinBindingAndNormals) {
  const Mesh& body = scene().meshes[0];
  auto influences = [](std::span<const SkinInfluence> list) {
    std::vector<std::pair<int, double>> out;
    for (const SkinInfluence& i : list) out.emplace_back(i.joint, i.weight);
    return out;
  };
  using List = std::vector<std::pair<int, double>>;
  EXPECT_EQ(influences(body.influences(0)), (List{{0, 1.0}}));
  EXPECT_EQ(influences(body.influences(1)), (List{{0, 0.5}, {1, 0.5}}));
  // "nosuch" names no joint: that influence refers to joint 0.
  EXPECT_EQ(influences(body.influences(2)), (List{{1, 0.1}, {0, 0.2}, {0, 0.7}}));
  EXPECT_EQ(influences(body.influences(3)), (List{{0, 0.25}, {1, 0.75}}));
  // Normal 0 is paired last with vertex 3, normal 1 with vertex 2.
  EXPECT_EQ(influences(body.normalInfluences(0)), influences(body.influences(3)));
  EXPECT_EQ(influences(body.normalInfluences(1)), influences(body.influences(2)));
  EXPECT_TRUE(scene().meshes[3].influences(0).empty());
}

TEST_F(FullScene, CamerasAndLights) {
  ASSERT_EQ(scene().cameras.size(), 2u);
  EXPECT_EQ(scene().cameras[0].name, "side");
  EXPECT_EQ(scene().cameras[0].vfov, 30.0);
  EXPECT_EQ(evaluateCurve(scene().cameras[0].curve(TranslateZ), 0), 100.0);
  EXPECT_DOUBLE_EQ(evaluateCurve(scene().cameras[0].curve(RotateY), 0), 90.0);
  // No camera "persp": the default one, placed by the BBX mesh.
  const Camera& persp = scene().cameras[1];
  EXPECT_EQ(persp.name, "persp");
  EXPECT_EQ(persp.vfov, 37.84);
  EXPECT_EQ(scene().activeCamera, 1);
  EXPECT_EQ(scene().center, (std::array<double, 3>{0, 40, 0}));
  EXPECT_EQ(evaluateCurve(persp.curve(TranslateY), 1), 40.0);
  EXPECT_NEAR(evaluateCurve(persp.curve(TranslateZ), 1), 150.87, 0.005);

  ASSERT_EQ(scene().lights.size(), 3u);
  const Light& sun = scene().lights[0];
  EXPECT_EQ(sun.name, "sun");
  EXPECT_EQ(sun.type, kLightDirectional);
  EXPECT_EQ(sun.color, (Color4f{1.0f, 0.5f, 0.25f, 0.0f}));  // scaled by the later intensity
  EXPECT_EQ(sun.intensity, 2.0);
  EXPECT_DOUBLE_EQ(evaluateCurve(sun.curve(RotateX), 0), -45.0);
  EXPECT_EQ(evaluateCurve(sun.curve(TranslateY), 0), 50.0);
  const Light& lamp = scene().lights[1];
  EXPECT_EQ(lamp.type, kLightPoint);
  EXPECT_EQ(lamp.color, (Color4f{0.2f, 0.4f, 0.6f, 0.0f}));  // colour after intensity: unscaled
  EXPECT_EQ(scene().lights[2].type, kLightNone);
}

TEST_F(FullScene, TexturesActionsSoundsMessages) {
  ASSERT_EQ(scene().textureImages.size(), 1u);
  const TextureImage& image = scene().textureImages[0];
  EXPECT_EQ(image.name, "checker");
  EXPECT_EQ(image.width, 2);
  EXPECT_EQ(image.height, 2);
  // Opaque red, green, blue, white: R in the low byte, A in the high byte.
  EXPECT_EQ(image.pixels,
            (std::vector<std::uint32_t>{0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu}));

  const Action& idle = scene().actions[0];
  EXPECT_EQ(idle.id, 0);
  EXPECT_EQ(idle.name, "idle");
  EXPECT_EQ(idle.startFrame, 1);
  EXPECT_EQ(idle.endFrame, 30);
  EXPECT_FALSE(idle.flag);
  EXPECT_EQ(idle.cameraName, "persp");
  EXPECT_EQ(idle.soundFile, "idle.wav");
  EXPECT_EQ(idle.soundSlot, 1);
  EXPECT_TRUE(scene().actions[1].flag);
  EXPECT_EQ(scene().actions[1].soundSlot, 2);
  EXPECT_EQ(scene().actions[99].soundFile, "");
  EXPECT_EQ(scene().actions[99].soundSlot, 3);
  EXPECT_EQ(scene().actions[2].id, -1);  // never filled
  EXPECT_EQ(scene().actions[2].endFrame, 0);
  ASSERT_EQ(scene().sounds.size(), 4u);
  EXPECT_EQ(scene().sounds[0].fileName, "intro.wav");
  EXPECT_EQ(scene().sounds[3].slot, 3);
  EXPECT_EQ(parsed->hooks.soundLoads, 1);
  EXPECT_EQ(parsed->hooks.soundsAtLoad.size(), 4u);

  // Companion messages, texts in code page 932.
  ASSERT_EQ(idle.messages.size(), 1u);
  EXPECT_EQ(idle.messages[0].duration, 5);
  EXPECT_EQ(idle.messages[0].hour, -1);
  EXPECT_EQ(idle.messages[0].marker, -1);
  EXPECT_EQ(idle.messages[0].text,
            "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd \nworld\n");  // こんにちは
  ASSERT_EQ(scene().actions[1].messages.size(), 2u);
  EXPECT_EQ(scene().actions[1].messages[0].hour, 12);
  EXPECT_EQ(scene().actions[1].messages[1].text, "second wave\n");
  EXPECT_EQ(scene().defaultMessage.text, "default \nmessage\n");
  EXPECT_EQ(scene().defaultMessage.seconds, 7);
  EXPECT_TRUE(parsed->hooks.boxes.empty());
}

TEST_F(FullScene, FinishingCallsAndDiagnostics) {
  // Slots 0 and 99 are both defined: 99 starts.
  EXPECT_EQ(parsed->hooks.startupSlots, (std::vector<int>{99}));
  EXPECT_EQ(parsed->hooks.camerasAtPlayback, 2u);  // the default camera exists by then
  EXPECT_EQ(parsed->hooks.titles, (std::vector<std::string>{std::string(kApplicationTitle)}));
  EXPECT_EQ(parsed->status.loadState, -1);
  EXPECT_TRUE(parsed->diagnostics.empty());
}

// ---------------------------------------------------------------------------
// Line classification

TEST(SceneLines, IndentedHeaderIsAnIgnoredAttribute) {
  const auto parsed = parse("mesh a World\n v 1 2 3\n mesh b World\n v 4 5 6\n");
  ASSERT_EQ(parsed->scene->meshes.size(), 1u);
  EXPECT_EQ(parsed->scene->meshes[0].vertices.size(), 2u);
}

TEST(SceneLines, SectionKeywordsArePrefixes) {
  const auto parsed = parse(
      "meshes a World\n v 1 2 3\nskinclus\n target a\njointOrientation 1 2 3\n"
      "cameraman c\nlightning point l\n");
  const Scene& scene = *parsed->scene;
  ASSERT_EQ(scene.meshes.size(), 1u);
  EXPECT_EQ(scene.meshes[0].name, "a");  // the header's tokens follow its first token
  // "jointOrientation 1 2 3" at column 0 is a joint header: joint "1", parent "2".
  ASSERT_EQ(scene.joints.size(), 1u);
  EXPECT_EQ(scene.joints[0].name, "1");
  EXPECT_EQ(scene.joints[0].parent, -1);
  ASSERT_EQ(scene.cameras.size(), 2u);  // "c", then the default "persp"
  EXPECT_EQ(scene.cameras[0].name, "c");
  ASSERT_EQ(scene.lights.size(), 1u);
  EXPECT_EQ(scene.lights[0].name, "l");
  EXPECT_EQ(scene.lights[0].type, kLightPoint);
}

TEST(SceneLines, UnindentedLinesEndTheCurrentObject) {
  const auto parsed = parse(
      "mesh a World\n v 1 0 0\ntime: 0 10\n v 2 0 0\nmesh b World\n v 3 0 0\n"
      "\tv 4 0 0\nanything\n v 5 0 0\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.sceneEndFrame, 10);  // the global key itself is handled
  EXPECT_EQ(scene.meshes[0].vertices.size(), 1u);
  EXPECT_EQ(scene.meshes[1].vertices.size(), 1u);  // a tab is no indentation
}

TEST(SceneLines, GlobalKeysMayBeIndented) {
  const auto parsed = parse("mesh a World\n time: 2 20\n v 1 0 0\n");
  EXPECT_EQ(parsed->scene->sceneStartFrame, 2);
  EXPECT_EQ(parsed->scene->meshes[0].vertices.size(), 1u);  // the mesh stays current
}

TEST(SceneLines, KeysAreCaseSensitiveAndExact) {
  const auto parsed = parse("Time: 0 9\ntime:: 0 9\nmesh a World\n V 1 2 3\n vv 1 2 3\n");
  EXPECT_EQ(parsed->scene->sceneEndFrame, 0);
  EXPECT_TRUE(parsed->scene->meshes[0].vertices.empty());
  EXPECT_TRUE(parsed->diagnostics.empty());  // unknown keys are ignored silently
}

TEST(SceneLines, TerminatorsAndEnds) {
  // CR LF, lone CR; the last line has no terminator and is not handled.
  const auto parsed = parse("mesh a World\r\n v 1 0 0\r v 2 0 0\n v 3 0 0");
  EXPECT_EQ(parsed->scene->meshes[0].vertices.size(), 2u);
  // A 0xFF byte ends the data before its line.
  const auto cut = parse("mesh a World\n v 1 0 0\n v 2 0\xff 0\n v 3 0 0\n");
  EXPECT_EQ(cut->scene->meshes[0].vertices.size(), 1u);
}

TEST(SceneLines, ScrambledVariants) {
  auto scrambledLine = [](std::string line) {
    scrambleLine(line);
    return line + "\n";
  };
  const std::string body = scrambledLine("time: 0 7") + scrambledLine("mesh a World") +
                           scrambledLine(" v 1 2 3");
  LoadOptions j;
  j.variant = SceneVariant::J;
  const auto parsed = parse(body, j);
  EXPECT_EQ(parsed->scene->sceneEndFrame, 7);
  EXPECT_EQ(parsed->scene->meshes[0].vertices.size(), 1u);
  // The same text read as plain means nothing.
  EXPECT_TRUE(parse(body)->scene->meshes.empty());
  // In a k file the scene ends at "FILE: ", stored as it is.
  LoadOptions k;
  k.variant = SceneVariant::K;
  const auto withFiles = parse(body + "FILE: a.wav\n" + scrambledLine(" v 4 5 6"), k);
  EXPECT_EQ(withFiles->scene->meshes[0].vertices.size(), 1u);
}

// Plain text reads its commonest lines in place, scrambled text line by line
// through the tokenizer: both must build the same scene and diagnostics.
TEST(SceneLines, LinesReadInPlaceGiveWhatTheTokenizerGives) {
  const std::vector<std::string> meshLines = {
      " v 1 2 3", " v -0.123456 12.5 7", " v 1e3 2 3", " v 1 2", " v 1 2 3 4", "  v 1 2 3",
      " v\t1\t2\t3\t", " v 1 2 3x", " v 1-2 3", " f 99999/1/1 1/1/1 1/1/1",
      " f 1/99999/1 1/1/99999 1/1/1", " vn 0 0 1", " vn -0 0.5 .5", " vt 0.5 0.25", " vt 1",
      " vt 1 2 3", " f 1/1/1 2/2/2 3/3/3", " f 1//1 2/2/2 3/3/3 4/4/4", " f 1/2 2/2/2 3/3/3",
      " f 9/9/9 1/1/1 2/2/2", " f 1/1/1 1/9/1 1/1/9", " f -1/1/1 1/1/1 1/1/1",
      " f 1.5/1/1 2/2/2 3/3/3", " f 1234567890/1/1 1/1/1 1/1/1", " f", " f 1/1/1",
      " f 0/0/0 1/1/1\t2/2/2 ", " f 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 "
      "1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1 1/1/1"};
  const std::vector<std::string> skinLines = {
      " weight 0 0.5 0.5", " weight 1 1",  " weight 0 0.25 0.75", " weight 99 1",
      " weight 2 1 1 1",   " weight 1.5 1", " weight 3 x",         " weight 3",
      " weight  4 0.5",    " weight 5 1e-1 9e-1"};
  std::vector<std::pair<std::string, std::string>> lines;  // content, terminator
  std::mt19937 random(11);
  auto terminator = [&] { return random() % 8 == 0 ? std::string("\r\n") : std::string("\n"); };
  lines.push_back({"time: 0 10", "\n"});
  lines.push_back({"joint hip", "\n"});
  for (int m = 0; m < 2; ++m) {
    lines.push_back({m == 0 ? "mesh a World" : "mesh BBX World", "\n"});
    for (int i = 0; i < 6000; ++i) {
      lines.push_back({meshLines[random() % meshLines.size()], terminator()});
    }
  }
  lines.push_back({"skincluster s", "\n"});
  lines.push_back({" weight 0 1", "\n"});  // before any target
  lines.push_back({" target a", "\n"});
  lines.push_back({" joint 2 hip hip", "\n"});
  for (int i = 0; i < 3000; ++i) {
    const std::string vertex = std::to_string(i / 2);
    lines.push_back({random() % 4 ? " weight " + vertex + " 0.25 0.75"
                                  : skinLines[random() % skinLines.size()],
                     terminator()});
  }
  std::string plain, scrambled;
  for (const auto& [content, end] : lines) {
    std::string stored = content;
    scrambleLine(stored);
    plain += content + end;
    scrambled += stored + end;
  }
  LoadOptions j;
  j.variant = SceneVariant::J;
  const auto inPlace = parse(plain);
  const auto byTokens = parse(scrambled, j);
  ASSERT_EQ(inPlace->scene->meshes.size(), 2u);
  ASSERT_EQ(byTokens->scene->meshes.size(), 2u);
  for (std::size_t m = 0; m < 2; ++m) {
    const Mesh& a = inPlace->scene->meshes[m];
    const Mesh& b = byTokens->scene->meshes[m];
    auto positions = [](const LargeList<MeshVertex>& list) {
      std::vector<double> values;
      for (const MeshVertex& v : list) {
        values.insert(values.end(), v.base.begin(), v.base.end());
        values.insert(values.end(), v.deformed.begin(), v.deformed.end());
        values.push_back(std::signbit(v.base[0]) ? 1.0 : 0.0);
      }
      return values;
    };
    EXPECT_GT(a.vertices.size(), 1000u);
    EXPECT_EQ(positions(a.vertices), positions(b.vertices));
    EXPECT_EQ(positions(a.normals), positions(b.normals));
    ASSERT_EQ(a.texcoords.size(), b.texcoords.size());
    for (std::size_t i = 0; i < a.texcoords.size(); ++i) {
      EXPECT_EQ(a.texcoords[i].u, b.texcoords[i].u);
      EXPECT_EQ(a.texcoords[i].v, b.texcoords[i].v);
    }
    EXPECT_GT(a.faceCount(), 1000u);
    ASSERT_EQ(a.faceCount(), b.faceCount());
    for (std::size_t f = 0; f < a.faceCount(); ++f) {
      EXPECT_EQ(corners(a.face(f).vertex), corners(b.face(f).vertex)) << f;
      EXPECT_EQ(corners(a.face(f).texcoord), corners(b.face(f).texcoord)) << f;
      EXPECT_EQ(corners(a.face(f).normal), corners(b.face(f).normal)) << f;
    }
    for (std::size_t v = 0; v < a.vertices.size(); ++v) {
      const auto x = a.influences(v), y = b.influences(v);
      ASSERT_EQ(x.size(), y.size()) << v;
      for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_EQ(x[i].joint, y[i].joint);
        EXPECT_EQ(x[i].weight, y[i].weight);
      }
    }
  }
  EXPECT_EQ(inPlace->scene->boundsMin, byTokens->scene->boundsMin);
  EXPECT_EQ(inPlace->scene->boundsMax, byTokens->scene->boundsMax);
  EXPECT_EQ(inPlace->hooks.titles, byTokens->hooks.titles);
  EXPECT_EQ(inPlace->status.loadProgress, byTokens->status.loadProgress);
  ASSERT_EQ(inPlace->diagnostics.size(), byTokens->diagnostics.size());
  EXPECT_GT(inPlace->diagnostics.size(), 100u);
  for (std::size_t i = 0; i < inPlace->diagnostics.size(); ++i) {
    EXPECT_EQ(inPlace->diagnostics[i].line, byTokens->diagnostics[i].line) << i;
    EXPECT_EQ(inPlace->diagnostics[i].text, byTokens->diagnostics[i].text) << i;
  }
}

TEST(SceneLines, ProgressEveryThousandLines) {
  std::string text = "mesh a World\n";
  for (int i = 1; i < 2500; ++i) text += " v 1 2 3\n\n";  // blank lines do not count
  const auto parsed = parse(text);
  EXPECT_EQ(parsed->hooks.titles,
            (std::vector<std::string>{"reading... 1000 lines", "reading... 2000 lines", "Vashel"}));
  EXPECT_EQ(parsed->scene->meshes[0].vertices.size(), 2499u);
  EXPECT_EQ(parsed->status.loadProgress, 2000 * 100 / 4999);
  EXPECT_EQ(parsed->status.loadState, -1);
}

// ---------------------------------------------------------------------------
// Sections and attributes

TEST(SceneSections, AlphaCurvesShareOneSlot) {
  const auto parsed = parse(
      "time: 0 5\nmesh a World\n transparencyR: 1 0 0.25 0 0 0 0\n alphaGain: 1 0 0.4 0 0 0 0\n"
      "mesh b World\n alphaGain: 1 0 0.4 0 0 0 0\n transparencyR: 1 0 0.25 0 0 0 0\n");
  EXPECT_EQ(parsed->scene->meshes[0].alphaGain->frames[3], 0.4);
  EXPECT_EQ(parsed->scene->meshes[1].alphaGain->frames[3], 0.75);
}

TEST(SceneSections, BakedAtOnceUsesTheTimeInForce) {
  const auto parsed = parse(
      "mesh a World\n colorR: 1 0 0.5 0 0 0 0\ntime: 0 8\nmesh b World\n colorR: 1 0 0.5 0 0 0 0\n");
  EXPECT_EQ(parsed->scene->meshes[0].colorR->frames.size(), 1u);  // baked for 0..0
  EXPECT_EQ(parsed->scene->meshes[1].colorR->frames.size(), 9u);
}

TEST(SceneSections, ParentsTakeTheLastMatchLookupsTheFirst) {
  const auto parsed = parse(
      "mesh twin World\nmesh twin World\nmesh child twin\nmesh self self\nmesh orphan nobody\n"
      "joint root\njoint root\njoint leaf root\njoint none\njoint stray nobody\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.meshes[2].parent, 1);
  EXPECT_EQ(scene.meshes[3].parent, 3);  // the new mesh itself counts
  EXPECT_EQ(scene.meshes[4].parent, -1);
  EXPECT_EQ(scene.findMesh("twin"), 0);
  EXPECT_EQ(scene.joints[2].parent, 1);
  EXPECT_EQ(scene.joints[3].parent, -1);
  EXPECT_EQ(scene.joints[4].parent, -1);
  EXPECT_EQ(scene.findJoint("root"), 0);
}

TEST(SceneSections, FacesOfAnyLength) {
  const auto parsed = parse(
      "mesh a World\n v 0 0 0\n v 1 0 0\n v 1 1 0\n v 0 1 0\n vn 0 0 1\n vn 0 0 1\n"
      " vn 0 0 1\n vn 0 0 1\n vt 0 0\n vt 0 0\n vt 0 0\n vt 0 0\n"
      " f 1/1/1 2/2/2 3/3/3 4/4/4\n f 1//1\n f 2/1/1 \n");
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.faceCount(), 3u);
  EXPECT_EQ(corners(mesh.face(0).vertex), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(corners(mesh.face(1).texcoord), (std::vector<int>{-1}));
  EXPECT_EQ(corners(mesh.face(2).vertex), (std::vector<int>{1}));
}

TEST(SceneSections, ActionSlots) {
  const auto parsed = parse(
      "animation-set\n anim a 1 5 0 cam xyz!7 - a.wav\n anim b 2 6 1 cam ACT_1000 - b.wav\n"
      " anim c 3 7 2 cam ACT_7 - c.wav\n anim d 4 8 0 cam ACT_-1 - d.wav\n"
      " anim e 5 9 0 cam ACT - e.wav\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.actions[7].name, "c");  // filled twice: the later line
  EXPECT_TRUE(scene.actions[7].flag);
  EXPECT_EQ(scene.actions[7].soundSlot, 1);
  // A slot token of four characters or fewer reads slot 0.
  EXPECT_EQ(scene.actions[0].name, "e");
  EXPECT_EQ(scene.actions[0].soundSlot, 2);
  ASSERT_EQ(scene.sounds.size(), 3u);
  EXPECT_EQ(scene.sounds[1].fileName, "c.wav");
  ASSERT_EQ(parsed->diagnostics.size(), 2u);
  EXPECT_EQ(parsed->diagnostics[0].line, 3);
  EXPECT_EQ(parsed->diagnostics[1].line, 5);
}

TEST(SceneSections, TextureRowsStartAnywhere) {
  const auto parsed = parse(
      "texture-data 3 1 t\n1 2\n 4294967295\ntexture-end\nmesh a World\n v 1 2 3\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.textureImages[0].pixels, (std::vector<std::uint32_t>{1, 2, 0xFFFFFFFFu}));
  EXPECT_EQ(scene.meshes[0].vertices.size(), 1u);
  EXPECT_TRUE(parsed->diagnostics.empty());
  // An empty image has no pixels.
  EXPECT_TRUE(parse("texture-data 0 5 e\ntexture-end\n")->scene->textureImages[0].pixels.empty());
}

TEST(SceneSections, BlendNeedsABase) {
  const auto parsed = parse(
      "mesh base World\nmesh target World\nblend b 1\n target 0 target\n weight: 1 0 1 0 0 0 0\n"
      " base nothing\n target 0 target\n base base\n target 0 target\n target 1 base\n"
      " weight: 1 0 0.5 0 0 0 0\n");
  const Mesh& base = parsed->scene->meshes[0];
  EXPECT_EQ(base.blendTargets, (std::vector<int>{1, 0}));
  ASSERT_EQ(base.blendWeights.size(), 1u);
  EXPECT_EQ(base.blendWeights[0].values[0], 0.5);
}

TEST(SceneSections, SkinTargetAndInfluencesPersist) {
  const auto parsed = parse(
      "mesh a World\n v 0 0 0\n v 0 0 0\njoint hip\njoint knee hip\nskincluster s\n target a\n"
      " joint 2 hip knee\nskincluster t\n target nothing\n weight 1 0.3 0.7\n weight 1 1\n");
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.influences(1).size(), 1u);  // the second line replaced the first
  EXPECT_EQ(mesh.influences(1)[0].joint, 0);
  EXPECT_EQ(mesh.influences(1)[0].weight, 1.0);
  EXPECT_TRUE(parsed->diagnostics.empty());
}

TEST(SceneSections, MissingTokensReadAsZeroOrEmpty) {
  const auto parsed = parse("mesh\n v 1\njoint\ntime: 5\nwindowsize:\nrss:\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.meshes[0].name, "");
  EXPECT_EQ(scene.meshes[0].vertices[0].base, (Vec4{1, 0, 0, 1}));
  EXPECT_EQ(scene.joints[0].name, "");
  EXPECT_EQ(scene.sceneStartFrame, 5);
  EXPECT_EQ(scene.sceneEndFrame, 0);
  EXPECT_EQ(scene.settings.windowSize, (std::array<int, 2>{0, 0}));
  EXPECT_EQ(scene.settings.feedUrl, "");
}

// ---------------------------------------------------------------------------
// Finishing steps

TEST(SceneFinishing, DefaultCameraAtTheOriginWithoutBoundingBox) {
  const auto parsed = parse("mesh a World\n v 100 100 100\n");
  const Scene& scene = *parsed->scene;
  ASSERT_EQ(scene.cameras.size(), 1u);
  EXPECT_EQ(scene.activeCamera, 0);
  for (int slot = 0; slot < kNodeCurveCount; ++slot) {
    const AnimCurve* curve = scene.cameras[0].curve(static_cast<CurveSlot>(slot));
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->times, (std::vector<double>{1.0}));
    EXPECT_EQ(curve->tangentAngle, (std::vector<double>{0.0}));
    EXPECT_TRUE(curve->frames.empty());  // not baked
    EXPECT_EQ(evaluateCurve(curve, 1), 0.0);
  }
}

TEST(SceneFinishing, PerspCameraIsKept) {
  const auto parsed = parse("camera top\ncamera persp\n vfov 20\ncamera persp\n");
  EXPECT_EQ(parsed->scene->cameras.size(), 3u);
  EXPECT_EQ(parsed->scene->activeCamera, 1);
  EXPECT_EQ(parsed->scene->center, (std::array<double, 3>{0, 0, 0}));
}

TEST(SceneFinishing, BoundingBoxAlwaysHoldsTheOrigin) {
  const auto parsed = parse("mesh BBX World\n v 2 3 4\n v 6 9 8\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.boundsMin, (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(scene.boundsMax, (std::array<double, 3>{6, 9, 8}));
  EXPECT_EQ(scene.center, (std::array<double, 3>{3, 4.5, 4}));
  // translateZ = height / (2 tan(18.92°)) + depth / 2 + centre z.
  EXPECT_NEAR(evaluateCurve(scene.cameras[0].curve(TranslateZ), 1), 13.12847 + 4 + 4, 1e-4);
}

TEST(SceneFinishing, StartupAction) {
  const std::string idle = "animation-set\n anim idle 1 10 0 c ACT_0 - s\n";
  const std::string start = " anim start 11 20 0 c ACT_99 - s\n";
  EXPECT_EQ(parse("")->hooks.startupSlots, (std::vector<int>{-1}));
  EXPECT_EQ(parse(idle)->hooks.startupSlots, (std::vector<int>{0}));
  EXPECT_EQ(parse(idle + start)->hooks.startupSlots, (std::vector<int>{99}));
  EXPECT_EQ(parse("animation-set\n anim idle 1 0 0 c ACT_0 - s\n" + start)->hooks.startupSlots,
            (std::vector<int>{-1}));
}

TEST(SceneFinishing, CachedRotationsAtTheFrameAfterStart) {
  const std::string text =
      "time: 0 10\njoint j\n rotateX: 2 5 0 6 1 0 0 0 0 0 0 0 0\n"
      " rotateY: 1 0 0.5 0 0 0 0\n";
  const auto atOne = parse(text);
  EXPECT_EQ(atOne->scene->joints[0].cachedRotation[0], 0.0);
  // The player moved to frame 10.4: the rotations are read at frame 10.
  const auto later = parse(text, {}, 10.4);
  EXPECT_EQ(later->scene->joints[0].cachedRotation[0], kRadiansToDegrees);
  EXPECT_EQ(later->scene->joints[0].cachedRotation[1], 0.5 * kRadiansToDegrees);
  EXPECT_EQ(later->scene->joints[0].cachedRotation[2], 0.0);
  // A frame that is no frame reads frame 0.
  const auto wild = parse(text, {}, std::nan(""));
  EXPECT_EQ(wild->scene->joints[0].cachedRotation[0], 0.0);
  EXPECT_EQ(wild->scene->joints[0].cachedRotation[1], 0.5 * kRadiansToDegrees);
}

TEST(SceneFinishing, MeshTranslationAtFrameOneIsTakenOut) {
  const auto parsed = parse(
      "time: 0 5\nmesh a World\n v 11 2 3\n vn 5 5 5\n translateX: 1 0 10 0 0 0 0\n"
      " translateZ: 2 0 0 2 4 0 0 0 0 0 0 0 0\n");
  const Mesh& mesh = parsed->scene->meshes[0];
  // translateZ at frame 1 is a sample of the Bézier segment over frames 0..2.
  const double tz = evaluateCurve(mesh.curve(TranslateZ), 1);
  EXPECT_GT(tz, 0.0);
  EXPECT_LT(tz, 4.0);
  EXPECT_EQ(mesh.vertices[0].base[0], 1.0);
  EXPECT_EQ(mesh.vertices[0].base[1], 2.0);
  EXPECT_EQ(mesh.vertices[0].base[2], 3.0 - tz);
  EXPECT_EQ(mesh.vertices[0].base[3], 1.0);
  EXPECT_EQ(mesh.vertices[0].deformed, mesh.vertices[0].base);
  EXPECT_EQ(mesh.normals[0].base, (Vec4{5, 5, 5, 1}));
  EXPECT_EQ(mesh.curves[TranslateX]->frames.size(), 6u);
}

TEST(SceneFinishing, FullscreenSwitchesTheDisplayAtOnce) {
  const auto on = parse("fullscreen: 0.5\nfullscreen: 2\n");
  EXPECT_EQ(on->scene->settings.fullscreen, 1);
  EXPECT_EQ(on->hooks.displayModeCalls, 2);
  const auto off = parse("fullscreen: 0\n");
  EXPECT_EQ(off->scene->settings.fullscreen, 0);
  EXPECT_EQ(off->hooks.displayModeCalls, 0);
}

TEST(SceneFinishing, SoundListStartsEmptyAndKeepsEveryName) {
  Parsed parsed;
  parsed.scene->sounds.push_back({"stale.wav", 0});
  const std::string text = "playsound: a.wav\nanimation-set\n anim x 1 2 0 c ACT_3\n";
  parseScene(text, {}, *parsed.scene, parsed.hooks, parsed.status);
  ASSERT_EQ(parsed.scene->sounds.size(), 2u);
  EXPECT_EQ(parsed.scene->sounds[0].fileName, "a.wav");
  EXPECT_EQ(parsed.scene->sounds[1].fileName, "");
  EXPECT_EQ(parsed.scene->sounds[1].slot, 1);
}

// ---------------------------------------------------------------------------
// Input outside the format: ignored, one diagnostic naming the line

struct Rejected {
  const char* text;
  int line;
  const char* mentions;
};

TEST(SceneRejects, OneDiagnosticPerBadLine) {
  const Rejected cases[] = {
      {"texture-data 2 1 t\n1 2 3\n", 2, "pixel"},
      {"mesh a World\n v 0 0 0\n f 1/1/1 1/1\n", 3, "'/'"},
      {"mesh a World\n v 0 0 0\n f 1\n", 3, "'/'"},
      {"mesh a World\n v 0 0 0\njoint j\nskincluster s\n target a\n joint 1 j\n weight 0 0.5 0.5\n",
       7, "weights"},
      {"mesh a World\n v 0 0 0\njoint j\nskincluster s\n target a\n joint 1 j\n weight 1 1\n", 7,
       "vertex 1"},
      {"mesh a World\n v 0 0 0\njoint j\nskincluster s\n target a\n joint 1 j\n weight -1 1\n", 7,
       "vertex -1"},
      {"skincluster s\n weight 0 1\n", 2, "target"},
      {"mesh a World\n v 0 0 0\n f 2/1/1\n", 3, "face index"},
      {"mesh a World\n v 0 0 0\n f -1/1/1\n", 3, "face index"},
      {"mesh a World\n v 0 0 0\n vn 0 0 1\n f 1/-3/1\n", 4, "texture-coordinate index -3"},
      {"mesh a World\n f 1/1/1\n vt 0 0\n", 2, "face index"},
      {"mesh a World\n translateX: -2 0 0\n", 2, "key count"},
      {"mesh a World\n translateX: 4294967295 0 0\n", 2, "key count"},
      {"mesh a World\n translateX: 50 0 1\n", 2, "key count"},
      {"skincluster s\n joint 99999999 a\n", 2, "influence"},
      {"texture-data -1 5 t\n", 1, "size"},
      {"texture-data 100000 100000 t\n1 2\n", 1, "size"},
      {"time: 0 2000000000\n", 1, "baked"},
  };
  for (const Rejected& rejected : cases) {
    const auto parsed = parse(rejected.text);
    ASSERT_EQ(parsed->diagnostics.size(), 1u) << rejected.text;
    EXPECT_EQ(parsed->diagnostics[0].line, rejected.line) << rejected.text;
    EXPECT_NE(parsed->diagnostics[0].text.find(rejected.mentions), std::string::npos)
        << parsed->diagnostics[0].text;
  }
}

TEST(SceneRejects, WhatIsKeptAroundRejectedInput) {
  const auto parsed = parse(
      "texture-data 2 1 t\n1 2 3\n4\ntexture-end\n"
      "mesh a World\n v 0 0 0\n v 1 0 0\n vn 0 0 1\n f 1/1/1 2/2/1\n f 1/1/1 3/1/1\n"
      " f 1/1/1 x 2/2/1\n translateX: 1 0 5 0 0 0 0\n translateX: -1\n"
      "joint j\nskincluster s\n target a\n joint 1 j\n weight 0 1\n weight 0 1 1\n");
  const Scene& scene = *parsed->scene;
  EXPECT_EQ(scene.textureImages[0].pixels, (std::vector<std::uint32_t>{1, 2}));
  const Mesh& mesh = scene.meshes[0];
  // The faces with a bad corner or index are gone; the good one stays.
  ASSERT_EQ(mesh.faceCount(), 1u);
  EXPECT_EQ(corners(mesh.face(0).vertex), (std::vector<int>{0, 1}));
  // A rejected curve line leaves the earlier curve.
  EXPECT_EQ(evaluateCurve(mesh.curve(TranslateX), 0), 5.0);
  ASSERT_EQ(mesh.influences(0).size(), 1u);
  EXPECT_EQ(mesh.influences(0)[0].weight, 1.0);
  EXPECT_EQ(parsed->diagnostics.size(), 6u);
}

TEST(SceneRejects, AllocationBudgets) {
  // Four-byte keys: " translateX: 3 0 1" holds three keys, the missing
  // values reading 0.
  const auto zeros = parse("mesh a World\n translateX: 3 0 1\n");
  EXPECT_EQ(zeros->scene->meshes[0].curves[TranslateX]->times, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(zeros->scene->meshes[0].curves[TranslateX]->values, (std::vector<double>{1, 0, 0}));

  LoadOptions options;
  options.limits.bakedFrames = 25;  // two tables of 11 entries fit
  options.limits.texturePixels = 6;
  const auto parsed = parse(
      "time: 0 10\nmesh a World\n colorR: 1 0 0.5 0 0 0 0\n colorG: 1 0 0.25 0 0 0 0\n"
      " colorB: 2 0 0 10 1 0 0 0 0 0 0 0 0\n diffuse: 1 0 0.8 0 0 0 0\n"
      "texture-data 2 2 first\n1 2 3 4\ntexture-data 2 2 second\n5 6 7 8\ntexture-end\n",
      options);
  const Mesh& mesh = parsed->scene->meshes[0];
  EXPECT_EQ(mesh.colorR->frames.size(), 11u);
  EXPECT_EQ(mesh.colorG->frames.size(), 11u);
  // Past the budget: no table, the keys are read instead.
  EXPECT_TRUE(mesh.colorB->frames.empty());
  EXPECT_EQ(evaluateCurve(*mesh.colorB, 5), 0.5);
  EXPECT_TRUE(mesh.diffuse->frames.empty());
  EXPECT_EQ(parsed->scene->textureImages[0].pixels.size(), 4u);
  EXPECT_TRUE(parsed->scene->textureImages[1].pixels.empty());
  EXPECT_EQ(parsed->scene->textureImages[1].width, 0);
  ASSERT_EQ(parsed->diagnostics.size(), 2u);  // one for the tables, one for the image
  EXPECT_EQ(parsed->diagnostics[0].line, 5);
  EXPECT_EQ(parsed->diagnostics[1].line, 9);
}

TEST(SceneRejects, FaceIndicesMayPointAheadWithinTheMesh) {
  // Faces before their vertices are fine once the mesh is complete.
  const auto parsed = parse("mesh a World\n f 1/1/1 2/2/2\n v 0 0 0\n v 1 0 0\n vn 0 0 1\n vn 1 0 0\n");
  EXPECT_EQ(parsed->scene->meshes[0].faceCount(), 1u);
  EXPECT_TRUE(parsed->diagnostics.empty());
}

TEST(SceneRejects, AnOutOfRangeTextureOrNormalIndexCostsOnlyItsCorner) {
  const auto parsed = parse(
      "mesh a World\n v 0 0 0\n v 1 0 0\n v 0 1 0\n vt 0 0\n vn 0 0 1\n"
      " f 1/1/1 2/5/1 3/1/9\n f 1/-2/1 2/1/-4 3//\n");
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.faceCount(), 2u);
  EXPECT_EQ(corners(mesh.face(0).vertex), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(corners(mesh.face(0).texcoord), (std::vector<int>{0, -1, 0}));
  EXPECT_EQ(corners(mesh.face(0).normal), (std::vector<int>{0, 0, -1}));
  EXPECT_EQ(corners(mesh.face(1).texcoord), (std::vector<int>{-1, 0, -1}));
  EXPECT_EQ(corners(mesh.face(1).normal), (std::vector<int>{0, -1, -1}));
  ASSERT_EQ(parsed->diagnostics.size(), 4u);
  // Negative indices are seen as the line is read, those past the end once
  // the mesh is complete.
  EXPECT_EQ(parsed->diagnostics[0].line, 8);
  EXPECT_NE(parsed->diagnostics[0].text.find("texture-coordinate index -2"), std::string::npos);
  EXPECT_NE(parsed->diagnostics[1].text.find("normal index -4"), std::string::npos);
  EXPECT_EQ(parsed->diagnostics[2].line, 7);
  EXPECT_NE(parsed->diagnostics[2].text.find("texture-coordinate index 5"), std::string::npos);
  EXPECT_NE(parsed->diagnostics[3].text.find("normal index 9"), std::string::npos);
}

// One vertex with n influences and n normals all paired with it: copies of the
// influences to every normal would cost n × n records for a file of about
// 24 n bytes.
TEST(SceneRejects, NormalsShareTheirVertexInfluencesInsteadOfCopyingThem) {
  constexpr int n = 2000;
  std::string text = "joint j\nmesh a World\n v 0 0 0\n";
  for (int i = 0; i < n; ++i) text += " vn 0 0 1\n";
  for (int i = 1; i <= n; ++i) text += " f 1/1/" + std::to_string(i) + "\n";
  text += "skincluster s\n target a\n joint " + std::to_string(n);
  for (int i = 0; i < n; ++i) text += " j";
  text += "\n weight 0";
  for (int i = 0; i < n; ++i) text += " 1";
  text += "\n";
  const auto parsed = parse(text);
  EXPECT_TRUE(parsed->diagnostics.empty());
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.normals.size(), static_cast<std::size_t>(n));
  ASSERT_EQ(mesh.influences(0).size(), static_cast<std::size_t>(n));
  const std::size_t stored = mesh.influenceCount() + mesh.normalSkinVertex.size();
  EXPECT_LE(stored, text.size() / 8);
  for (std::size_t i = 0; i < mesh.normals.size(); ++i) {
    ASSERT_EQ(mesh.normalInfluences(i).size(), static_cast<std::size_t>(n)) << i;
  }
  EXPECT_TRUE(mesh.normalInfluences(n).empty());
}

TEST(SceneRejects, DiagnosticsAreCapped) {
  std::string text = "mesh a World\n";
  for (int i = 0; i < 3000; ++i) text += " f 1\n";
  const auto parsed = parse(text);
  ASSERT_EQ(parsed->diagnostics.size(), kMaxDiagnostics + 1);
  EXPECT_NE(parsed->diagnostics.back().text.find("2000 further"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The file wrappers

TEST(SceneFiles, MissingFile) {
  Scene scene;
  RecordingHooks hooks;
  LoadStatus status;
  EXPECT_THROW(loadScene(kData + "/no-such-scene.gl", scene, hooks, status), MYERRORCODE);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(tryLoadScene(kData + "/no-such-scene.gl", scene, hooks, status), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ファイルないよ\n");
  EXPECT_EQ(status.loadState, -1);
}

TEST(SceneFiles, WhatIsNotARegularFileOrTooLargeIsRefusedWithItsReason) {
  testing::HostileFiles files;
  std::vector<std::pair<std::string, std::string>> cases;
  for (const std::string& path : files.notRegular()) cases.push_back({path, "not a regular file"});
  cases.push_back({files.sparse(kMaxSceneFileBytes + 1),
                   "larger than " + std::to_string(kMaxSceneFileBytes) + " bytes"});
  for (const auto& [path, reason] : cases) {
    Scene scene;
    RecordingHooks hooks;
    LoadStatus status;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(tryLoadScene(path, scene, hooks, status), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              path + ": " + reason + "\n何がなにやら、とにかくエラー\n");
    EXPECT_EQ(status.loadState, -1);
  }
}

TEST(SceneFiles, CompanionFilesThatAreNotRegularFilesAreSkippedWithADiagnostic) {
  testing::HostileFiles files;
  LoadOptions options;
  options.messageFiles = {files.fifo(), files.zeroLink(), kData + "/full.gl.txt"};
  const auto parsed = parse(readFile(kData + "/full.gl"), options);
  ASSERT_EQ(parsed->diagnostics.size(), 2u);
  EXPECT_EQ(parsed->diagnostics[0].text, files.fifo() + ": not a regular file; not read");
  EXPECT_EQ(parsed->diagnostics[1].text, files.zeroLink() + ": not a regular file; not read");
  EXPECT_FALSE(parsed->scene->defaultMessage.text.empty());  // the real one was read
}

TEST(SceneFiles, LoadsAndReportsByLine) {
  char path[] = "/tmp/vashel_loader_testXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string text = "mesh a World\n v 1 2 3\n f 1\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  Scene scene;
  RecordingHooks hooks;
  LoadStatus status;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(tryLoadScene(path, scene, hooks, status), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find(std::string(path) + ":3: "), 0u) << err;
  EXPECT_EQ(scene.meshes[0].vertices.size(), 1u);
  EXPECT_EQ(status.loadState, -1);
  std::remove(path);
}

// Files with no line the format knows would load as an empty, invisible
// character: they are refused before any finishing step runs.
TEST(SceneFiles, AFileWithNoSceneLineIsNotASceneFile) {
  const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\n\x01", 20);
  const struct {
    const char* name;
    std::string bytes;
    const char* variant;
  } cases[] = {{"empty.gl", "", "plain"},
               {"nul.gl", std::string(4096, '\0'), "plain"},
               {"image.gl", binary, "plain"},
               // Plain text under a scrambled variant's name reads as noise.
               {"plain.glj", "mesh a World\n v 1 2 3\n", "j"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = ::testing::TempDir() + c.name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(c.bytes.data(), 1, c.bytes.size(), file);
    std::fclose(file);
    Scene scene;
    RecordingHooks hooks;
    LoadStatus status;
    std::string problem;
    try {
      parseSceneFile(path, scene, hooks, status, problem);
      ADD_FAILURE() << "loaded";
    } catch (const MYERRORCODE& error) {
      EXPECT_EQ(error.code, kNotASceneFile);
    }
    EXPECT_EQ(problem, std::string("not a scene file (no line of it was understood as ") +
                           c.variant + " scene text)");
    EXPECT_TRUE(hooks.startupSlots.empty()) << "the finishing steps ran";
    EXPECT_EQ(hooks.soundLoads, 0);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(tryLoadScene(path, scene, hooks, status), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              path + ": " + problem + "\n何がなにやら、とにかくエラー\n");
    EXPECT_EQ(status.loadState, -1);
    std::remove(path.c_str());
  }
}

}  // namespace
}  // namespace vashel
