// Deterministic fuzzing of the scene parser: truncated and mutated scenes,
// read as every variant, must load without faults (run under the sanitizers)
// and leave a scene whose indices all point into their lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "scene/loader.h"
#include "scene/scene_text.h"
#include "scene_fakes.h"

namespace vashel {
namespace {

// Every scene file of the tests and of the bundled character, with its variant.
std::vector<std::pair<std::filesystem::path, SceneVariant>> sampleFiles() {
  std::vector<std::pair<std::filesystem::path, SceneVariant>> files;
  const std::filesystem::path data = VASHEL_TEST_DATA;
  for (const auto& folder : {data, data / ".." / ".." / "examples" / "sample"}) {
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension == ".gl" || extension == ".glj" || extension == ".glk") {
        files.emplace_back(entry.path(), sceneVariant(entry.path().string()));
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Plain text of the sample files, the seeds of the mutations.
std::vector<std::string> seeds() {
  std::vector<std::string> texts;
  for (const auto& [path, variant] : sampleFiles()) {
    std::string text = readFile(path.string());
    if (variant != SceneVariant::Plain) {
      SceneLineReader reader(text, variant);
      std::string plain;
      while (reader.readSceneLine() > 0 && !reader.fileMarker()) {
        plain.append(reader.line()).push_back('\n');
      }
      text = plain;
    }
    texts.push_back(std::move(text));
  }
  EXPECT_GE(texts.size(), 1u);
  texts.push_back(
      "time: 0 20\r\nmesh m World\r\n v 1 2 3\r v 4 5 6\r\n vn 0 0 1\n vt 0 0\n"
      " f 1/1/1 2/1/1 3//1\n translateX: 3 0 0 5 1 10 2 1 1 30 1 1 1 60 1 1 1 -30 1\n"
      "joint a\njoint b a\nskincluster c\n target m\n joint 2 a b\n weight 1 0.5 0.5\n"
      "blend s 1\n base m\n target 0 m\n weight: 1 0 1 0 0 0 0\n"
      "texture-data 2 2 t\n1 2 3 4\ntexture-end\n"
      "animation-set\n anim idle 1 20 0 persp ACT_0 x a.wav\n");
  return texts;
}

// Replacements that reach the edges of every number and count.
const std::string kWildTokens[] = {
    "0",        "-1",          "4294967295", "2147483648", "-2147483649", "1e308", "-1e308",
    "1e-320",   "nan",         "inf",        "0x10",       "99999999999", "\"",    "(",
    ")",        "/",           "//",         "1//",        "262143",      "1000000", "-0",
    "\xff",     std::string("\0", 1), "\v",        "\r",          "\n",    "  ",
    "mesh",     "texture-data", "FILE: ",    "weight",     "f",           "999999999"};

std::string mutate(const std::string& seed, std::mt19937& random) {
  // Large files give a slice of whole lines, which keeps rounds cheap.
  std::string text = seed;
  if (text.size() > 8192) {
    const std::size_t from = text.find('\n', random() % (text.size() - 8192));
    text = from == std::string::npos ? text.substr(0, 8192) : text.substr(from + 1, 8192);
  }
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = random() % text.size();
    switch (random() % 6) {
      case 0:  // truncate
        text.resize(at);
        break;
      case 1:  // flip a byte
        text[at] = static_cast<char>(random());
        break;
      case 2: {  // put in an edge token
        const std::string& token = kWildTokens[random() % std::size(kWildTokens)];
        text.insert(at, token + (random() % 2 ? " " : ""));
        break;
      }
      case 3: {  // replace the number-like run at `at`
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
        text.replace(at, end - at, kWildTokens[random() % std::size(kWildTokens)]);
        break;
      }
      case 4: {  // duplicate a stretch
        const std::size_t length = std::min<std::size_t>(random() % 200, text.size() - at);
        text.insert(at, text.substr(at, length));
        break;
      }
      default:  // drop a stretch
        text.erase(at, std::min<std::size_t>(random() % 50, text.size() - at));
        break;
    }
  }
  return text;
}

void expectConsistent(const Scene& scene) {
  const int meshCount = static_cast<int>(scene.meshes.size());
  const int jointCount = static_cast<int>(scene.joints.size());
  auto checkCurve = [](const AnimCurve& curve) {
    ASSERT_EQ(curve.times.size(), curve.values.size());
    ASSERT_EQ(curve.times.size(), curve.tangentAngle.size());
    ASSERT_LE(curve.frames.size(), static_cast<std::size_t>(kMaxBakedFrames));
  };
  auto checkNode = [&](const SceneNode& node, int listSize) {
    ASSERT_GE(node.parent, -1);
    ASSERT_LT(node.parent, listSize);
    for (const auto& curve : node.curves) {
      if (curve) checkCurve(*curve);
    }
  };
  for (const Mesh& mesh : scene.meshes) {
    checkNode(mesh, meshCount);
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
      const FaceView face = mesh.face(f);
      ASSERT_EQ(face.vertex.size(), face.texcoord.size());
      ASSERT_EQ(face.vertex.size(), face.normal.size());
      for (std::size_t c = 0; c < face.vertex.size(); ++c) {
        ASSERT_GE(face.vertex[c], -1);
        ASSERT_LT(face.vertex[c], static_cast<int>(mesh.vertices.size()));
        ASSERT_GE(face.texcoord[c], -1);
        ASSERT_LT(face.texcoord[c], static_cast<int>(mesh.texcoords.size()));
        ASSERT_GE(face.normal[c], -1);
        ASSERT_LT(face.normal[c], static_cast<int>(mesh.normals.size()));
      }
    }
    ASSERT_LE(mesh.influencedVertices(), mesh.vertices.size());
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
      for (const SkinInfluence& influence : mesh.influences(v)) {
        ASSERT_GE(influence.joint, 0);
        ASSERT_LT(influence.joint, jointCount);
      }
    }
    ASSERT_GE(mesh.texcoords.size(), mesh.vertices.empty() ? 0u : 1u);
    ASSERT_EQ(mesh.vertexArray.size(), 4 * mesh.vertices.size());
    for (int target : mesh.blendTargets) {
      ASSERT_GE(target, 0);
      ASSERT_LT(target, meshCount);
    }
    for (const AnimCurve& weight : mesh.blendWeights) checkCurve(weight);
    ASSERT_GE(mesh.texture, -1);
    ASSERT_LT(mesh.texture, static_cast<int>(scene.textureNames.size()));
  }
  for (const Joint& joint : scene.joints) checkNode(joint, jointCount);
  for (const TextureImage& image : scene.textureImages) {
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height);
  }
  ASSERT_EQ(scene.actions.size(), static_cast<std::size_t>(kActionSlots));
  for (int slot = 0; slot < kActionSlots; ++slot) {
    const Action& action = scene.actions[slot];
    ASSERT_TRUE(action.id == -1 || action.id == slot);
    if (action.id >= 0) {
      ASSERT_LT(action.soundSlot, static_cast<int>(scene.sounds.size()));
    }
  }
  for (std::size_t i = 0; i < scene.sounds.size(); ++i) {
    ASSERT_EQ(scene.sounds[i].slot, static_cast<int>(i));
  }
  ASSERT_GE(scene.activeCamera, 0);
  ASSERT_LT(scene.activeCamera, static_cast<int>(scene.cameras.size()));
}

void parseAndCheck(const std::string& text, SceneVariant variant) {
  Scene scene;
  LoadHooks hooks;
  LoadStatus status;
  LoadOptions options;
  options.variant = variant;
  parseScene(text, options, scene, hooks, status);
  EXPECT_EQ(status.loadState, -1);
  expectConsistent(scene);
}

TEST(SceneFuzz, EverySampleFileLoadsCleanly) {
  for (const auto& [path, variant] : sampleFiles()) {
    const std::string text = readFile(path.string());
    Scene scene;
    LoadHooks hooks;
    LoadStatus status;
    LoadOptions options;
    options.variant = variant;
    const auto diagnostics = parseScene(text, options, scene, hooks, status);
    EXPECT_TRUE(diagnostics.empty()) << path << ": " << diagnostics.front().text;
    EXPECT_FALSE(scene.meshes.empty()) << path;
    expectConsistent(scene);
  }
}

TEST(SceneFuzz, EveryTruncation) {
  for (const std::string& seed : seeds()) {
    // About 100 cuts per file, at every byte near the start.
    const std::size_t step = std::max<std::size_t>(7, seed.size() / 100);
    for (std::size_t length = 0; length <= seed.size(); length += length < 64 ? 1 : step) {
      parseAndCheck(seed.substr(0, length), SceneVariant::Plain);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(SceneFuzz, MutatedScenesInEveryVariant) {
  std::mt19937 random(20240601);
  const std::vector<std::string> texts = seeds();
  for (int round = 0; round < 2500; ++round) {
    const std::string text = mutate(texts[round % texts.size()], random);
    parseAndCheck(text, static_cast<SceneVariant>(round % 3));
    if (HasFatalFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

TEST(SceneFuzz, RandomBytes) {
  std::mt19937 random(99);
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 2000, '\0');
    for (char& c : text) c = static_cast<char>(random() % 4 ? ' ' + random() % 95 : random());
    parseAndCheck(text, static_cast<SceneVariant>(round % 3));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace vashel
