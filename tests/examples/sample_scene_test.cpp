// The sample character as the program loads it: a clean load, actions that
// fit the scene's frames, click targets that name actions, skins and blend
// shapes within their limits, motion in every action, and a figure that
// stays inside the window at every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "anim/headless.h"
#include "anim/pose.h"
#include "platform/codepage.h"
#include "render/offscreen.h"
#include "scene/loader.h"
#include "scene/scene_builder.h"
#include "xml/xml.h"

namespace vashel {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(VASHEL_TEST_DATA).parent_path().parent_path() / "examples" / "sample";

class RecordingHooks : public LoadHooks {
 public:
  void messageBox(std::string_view caption, std::string_view text) override {
    boxes.push_back(std::string(caption) + ": " + std::string(text));
  }
  double startPlayback(Scene&, int slot) override {
    startupSlot = slot;
    return 1.0;
  }
  std::vector<std::string> boxes;
  int startupSlot = -2;
};

class LoadedSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scene_ = std::make_unique<Scene>();
    hooks_ = std::make_unique<RecordingHooks>();
    LoadStatus status;
    const std::vector<char> text = readSceneFile((kSample / "data.glj").string());
    LoadOptions options;
    options.variant = sceneVariant("data.glj");
    options.messageFiles = {(kSample / "data.glj.txt").string()};
    diagnostics_ = parseScene(text, options, *scene_, *hooks_, status);
  }
  static void TearDownTestSuite() {
    scene_.reset();
    hooks_.reset();
  }

  static const Action* actionNamed(const std::string& name) {
    for (const Action& a : scene_->actions) {
      if (a.id >= 0 && a.name == name) return &a;
    }
    return nullptr;
  }

  static std::unique_ptr<Scene> scene_;
  static std::unique_ptr<RecordingHooks> hooks_;
  static std::vector<Diagnostic> diagnostics_;
};

std::unique_ptr<Scene> LoadedSample::scene_;
std::unique_ptr<RecordingHooks> LoadedSample::hooks_;
std::vector<Diagnostic> LoadedSample::diagnostics_;

TEST_F(LoadedSample, LoadsCleanlyAndGreetsAtStartUp) {
  for (const Diagnostic& d : diagnostics_) ADD_FAILURE() << "line " << d.line << ": " << d.text;
  EXPECT_TRUE(hooks_->boxes.empty()) << hooks_->boxes.front();
  EXPECT_EQ(hooks_->startupSlot, 99);
  EXPECT_GE(scene_->vertexTotal, 2000);
  EXPECT_LE(scene_->vertexTotal, 4000);
  EXPECT_GE(scene_->joints.size(), 12u);
  EXPECT_LE(scene_->joints.size(), 20u);
  ASSERT_GE(scene_->activeCamera, 0);
  EXPECT_EQ(scene_->cameras[scene_->activeCamera].name, "persp");
  EXPECT_EQ(scene_->cameras.size(), 2u) << "no default camera should have been added";
  std::set<int> lightTypes;
  for (const Light& l : scene_->lights) lightTypes.insert(l.type);
  EXPECT_EQ(lightTypes, (std::set<int>{kLightAmbient, kLightDirectional}));
}

TEST_F(LoadedSample, ActionsFitTheTimeRangeAndNameWhatExists) {
  const Scene& s = *scene_;
  const Action& idle = s.actions[0];
  ASSERT_TRUE(idle.defined());
  EXPECT_GE(idle.endFrame - idle.startFrame, 60) << "idle lasts 2 to 4 seconds";
  EXPECT_LE(idle.endFrame - idle.startFrame, 120);
  EXPECT_TRUE(s.actions[99].defined()) << "the greeting";
  ASSERT_TRUE(s.settings.randomAction.has_value());
  const int randomMax = (*s.settings.randomAction)[0];
  EXPECT_GE(randomMax, 5);
  for (int slot = 1; slot <= randomMax; ++slot) EXPECT_TRUE(s.actions[slot].defined()) << "random action " << slot;
  for (const Action& a : s.actions) {
    if (a.id < 0) continue;
    EXPECT_GE(a.startFrame, s.sceneStartFrame) << a.name;
    EXPECT_LT(a.startFrame, a.endFrame) << a.name;
    EXPECT_LE(a.endFrame, s.sceneEndFrame) << a.name;
    EXPECT_GE(s.findCameraByName(a.cameraName), 0) << a.name << " names camera " << a.cameraName;
    EXPECT_LE(a.soundSlot, 99) << a.name;
    if (!a.soundFile.empty()) {
      EXPECT_TRUE(fs::exists(kSample / a.soundFile)) << a.soundFile;
    }
  }
  EXPECT_TRUE(s.settings.windowSize && s.settings.startupMode && s.settings.randomMessage);
}

TEST_F(LoadedSample, ClickTargetsNameActionsAndFollowTheBody) {
  int targets = 0;
  bool boundingBox = false;
  for (const Mesh& m : scene_->meshes) {
    if (m.name == "BBX") {
      boundingBox = m.unpickable == 1 && m.displayMode == kPickOnly;
      continue;
    }
    if (m.picking.empty()) continue;
    ++targets;
    EXPECT_EQ(m.displayMode, kPickOnly) << m.name;
    EXPECT_NE(actionNamed(m.picking), nullptr) << m.name << " picks " << m.picking;
    for (size_t v = 0; v < m.vertices.size(); ++v) EXPECT_FALSE(m.influences(v).empty()) << m.name << " is not skinned";
  }
  EXPECT_GE(targets, 2) << "head and body";
  EXPECT_TRUE(boundingBox);
}

void expectCurveKeysInRange(const AnimCurve& c, const Scene& s, const std::string& what) {
  for (size_t k = 0; k < c.keyCount(); ++k) {
    EXPECT_GE(c.times[k], s.sceneStartFrame) << what;
    EXPECT_LE(c.times[k], s.sceneEndFrame) << what;
    EXPECT_GT(c.tangentAngle[k], -90.0) << what;
    EXPECT_LT(c.tangentAngle[k], 90.0) << what;
    if (k > 0) {
      EXPECT_GE(c.times[k] - c.times[k - 1], 1.0) << what << " keys share a frame";
    }
  }
}

TEST_F(LoadedSample, EveryCurveKeepsItsKeysInsideTheSceneWithSafeTangents) {
  const Scene& s = *scene_;
  const auto nodeCurves = [&](const SceneNode& n) {
    for (const auto& c : n.curves) {
      if (c) expectCurveKeysInRange(*c, s, n.name);
    }
  };
  for (const Joint& j : s.joints) nodeCurves(j);
  for (const Camera& c : s.cameras) nodeCurves(c);
  for (const Light& l : s.lights) nodeCurves(l);
  for (const Mesh& m : s.meshes) {
    nodeCurves(m);
    for (const AnimCurve& w : m.blendWeights) expectCurveKeysInRange(w, s, m.name + " blend weight");
    if (m.visibility) expectCurveKeysInRange(*m.visibility, s, m.name + " visibility");
  }
}

TEST_F(LoadedSample, SkinsAreSmoothWithAtMostFourWeightsSummingToOne) {
  size_t blended = 0;
  for (const Mesh& m : scene_->meshes) {
    for (size_t v = 0; v < m.vertices.size(); ++v) {
      const auto influences = m.influences(v);
      if (influences.empty()) continue;
      EXPECT_LE(influences.size(), 4u) << m.name;
      double sum = 0.0;
      for (const SkinInfluence& i : influences) {
        EXPECT_GE(i.joint, 0);
        EXPECT_LT(i.joint, static_cast<int>(scene_->joints.size()));
        EXPECT_GT(i.weight, 0.0) << m.name;
        sum += i.weight;
      }
      EXPECT_NEAR(sum, 1.0, 1e-6) << m.name;
      blended += influences.size() > 1;
    }
  }
  EXPECT_GT(blended, 300u) << "joints should bend smoothly, not rigidly";
  // The neck and the arms can be posed by hand, within limits.
  for (const char* name : {"neck", "arm_L", "arm_R"}) {
    const int j = scene_->findJoint(name);
    ASSERT_GE(j, 0) << name;
    const auto& l = scene_->joints[j].limits;
    EXPECT_TRUE(l[0] < l[1] || l[2] < l[3] || l[4] < l[5]) << name;
  }
}

TEST_F(LoadedSample, BlinkAndMouthAreKeyedBlendShapesOverHiddenTargets) {
  int shapes = 0;
  for (const Mesh& m : scene_->meshes) {
    if (m.blendTargets.empty()) continue;
    ++shapes;
    ASSERT_EQ(m.blendTargets.size(), m.blendWeights.size()) << m.name;
    for (size_t t = 0; t < m.blendTargets.size(); ++t) {
      const Mesh& target = scene_->meshes.at(m.blendTargets[t]);
      EXPECT_GE(target.vertices.size(), m.vertices.size()) << target.name;
      ASSERT_TRUE(target.visibility.has_value()) << target.name << " would be drawn";
      EXPECT_EQ(evaluateCurve(*target.visibility, scene_->sceneStartFrame), 0.0);
      const AnimCurve& w = m.blendWeights[t];
      EXPECT_GE(w.keyCount(), 8u) << m.name;
      EXPECT_GE(*std::max_element(w.values.begin(), w.values.end()), 0.8) << m.name;
      EXPECT_GE(*std::min_element(w.values.begin(), w.values.end()), 0.0) << m.name;
      EXPECT_LE(*std::max_element(w.values.begin(), w.values.end()), 1.0) << m.name;
    }
  }
  EXPECT_EQ(shapes, 2);
}

TEST_F(LoadedSample, LooksComeFromTexturesVertexColoursAndOutlines) {
  const Scene& s = *scene_;
  bool fileTexture = false, embeddedTexture = false, vertexColours = false;
  int outlined = 0;
  for (const Mesh& m : s.meshes) {
    if (m.texture >= 0) {
      const std::string& name = s.textureNames.at(m.texture);
      const bool embedded = std::any_of(s.textureImages.begin(), s.textureImages.end(),
                                        [&](const TextureImage& t) { return t.name == name; });
      embeddedTexture |= embedded;
      if (!embedded) {
        fileTexture = true;
        EXPECT_TRUE(fs::exists(kSample / name)) << name;
      }
    }
    vertexColours |= !m.colors.empty() && m.colors.size() == m.vertices.size();
    outlined += m.displayMode == kDrawn && m.edgeLevel > 0.0;
  }
  EXPECT_TRUE(fileTexture);
  EXPECT_TRUE(embeddedTexture);
  EXPECT_TRUE(vertexColours);
  EXPECT_GE(outlined, 5);
}

// Joint origins at a frame, in world space.
std::vector<Vec4> jointOrigins(Scene& s, int frame) {
  updatePose(s.joints, PoseFrame{static_cast<double>(frame), 1, s.sceneStartFrame});
  std::vector<Vec4> out;
  for (const Joint& j : s.joints) out.push_back(transform(j.world, Vec4{0, 0, 0, 1}));
  return out;
}

TEST_F(LoadedSample, EveryActionVisiblyMovesTheCharacter) {
  Scene& s = *scene_;
  for (const Action& a : s.actions) {
    if (a.id < 0) continue;
    const std::vector<Vec4> first = jointOrigins(s, a.startFrame);
    double moved = 0.0;
    for (int f = a.startFrame + 1; f <= a.endFrame; ++f) {
      const std::vector<Vec4> now = jointOrigins(s, f);
      for (size_t j = 0; j < now.size(); ++j) {
        moved = std::max(moved, std::hypot(now[j][0] - first[j][0], now[j][1] - first[j][1], now[j][2] - first[j][2]));
      }
    }
    EXPECT_GE(moved, a.id == 0 ? 0.5 : 3.0) << a.name << " hardly moves";
  }
}

// The whole drawn figure, skinned, through the wide camera at every frame.
TEST_F(LoadedSample, FigureStaysInsideTheWindowAtEveryFrame) {
  Scene& s = *scene_;
  const Camera& camera = s.cameras[s.findCameraByName("persp")];
  for (int slot = RotateX; slot <= RotateZ; ++slot) EXPECT_EQ(evaluateCurve(camera.curve(CurveSlot(slot)), 1), 0.0);
  const auto size = s.settings.windowSize.value_or(std::array<int, 2>{240, 320});
  const double tanHalf = std::tan(camera.vfov * kDegreesToRadians / 2.0);
  const double aspect = static_cast<double>(size[0]) / size[1];
  double worstX = 0.0, worstY = 0.0;
  int worstFrame = 0;
  for (int f = s.sceneStartFrame; f <= s.sceneEndFrame; ++f) {
    updatePose(s.joints, PoseFrame{static_cast<double>(f), 1, s.sceneStartFrame});
    const double px = evaluateCurve(camera.curve(TranslateX), f), py = evaluateCurve(camera.curve(TranslateY), f),
                 pz = evaluateCurve(camera.curve(TranslateZ), f);
    const double nearPlane = std::max(1.0, std::trunc(pz - 200.0)), farPlane = nearPlane + 600.0;
    for (const Mesh& m : s.meshes) {
      if (m.displayMode != kDrawn || (m.visibility && evaluateCurve(*m.visibility, f) == 0.0)) continue;
      for (size_t j = 0; j < m.vertices.size(); ++j) {
        const MeshVertex& v = m.vertices[j];
        Vec4 p = v.base;
        if (!m.influences(j).empty()) {
          p = {0, 0, 0, 0};
          for (const SkinInfluence& i : m.influences(j)) {
            const Vec4 q = transform(s.joints[i.joint].skin, v.base);
            for (int k = 0; k < 4; ++k) p[k] += i.weight * q[k];
          }
        }
        const double depth = pz - p[2];
        ASSERT_GT(depth, nearPlane) << m.name << " frame " << f;
        ASSERT_LT(depth, farPlane) << m.name << " frame " << f;
        const double x = std::fabs(p[0] - px) / (depth * tanHalf * aspect), y = std::fabs(p[1] - py) / (depth * tanHalf);
        if (std::max(x, y) > std::max(worstX, worstY)) worstFrame = f;
        worstX = std::max(worstX, x);
        worstY = std::max(worstY, y);
      }
    }
  }
  EXPECT_LT(worstX, 1.0) << "sideways out of the window at frame " << worstFrame;
  EXPECT_LT(worstY, 1.0) << "out of the window's top or bottom at frame " << worstFrame;
}

TEST_F(LoadedSample, CloseUpIsTheWideViewOutsideItsAction) {
  const Scene& s = *scene_;
  const Camera& wide = s.cameras[s.findCameraByName("persp")];
  const int closeIndex = s.findCameraByName("closeup");
  ASSERT_GE(closeIndex, 0);
  const Camera& close = s.cameras[closeIndex];
  std::vector<std::pair<int, int>> ranges;
  for (const Action& a : s.actions) {
    if (a.id >= 0 && a.cameraName == close.name) ranges.push_back({a.startFrame, a.endFrame});
  }
  ASSERT_EQ(ranges.size(), 1u) << "one action switches to the close-up";
  bool zooms = false;
  for (int f = s.sceneStartFrame; f <= s.sceneEndFrame; ++f) {
    const bool inside = f >= ranges[0].first && f <= ranges[0].second;
    for (int slot = 0; slot < kNodeCurveCount; ++slot) {
      const double a = evaluateCurve(wide.curve(CurveSlot(slot)), f), b = evaluateCurve(close.curve(CurveSlot(slot)), f);
      if (!inside) {
        ASSERT_EQ(a, b) << "frame " << f;
      } else if (slot == TranslateZ && b < a - 100.0) {
        zooms = true;
      }
    }
  }
  EXPECT_TRUE(zooms);
  EXPECT_EQ(wide.vfov, close.vfov);
}

TEST_F(LoadedSample, CompanionMessagesGreetByTheHourAndTellTheTime) {
  const Scene& s = *scene_;
  EXPECT_FALSE(s.defaultMessage.text.empty());
  EXPECT_GT(s.defaultMessage.seconds, 0);
  std::set<int> hours;
  bool clock = false, english = false, japanese = false;
  for (const MessageEntry& m : s.actions[0].messages) {
    if (m.hour >= 0) hours.insert(m.hour);
    clock |= m.text.find("HH") != std::string::npos && m.text.find("MM") != std::string::npos;
    const bool ascii = std::all_of(m.text.begin(), m.text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    (ascii ? english : japanese) = true;
  }
  EXPECT_EQ(hours.size(), 24u) << "a word for every hour, whenever she runs";
  EXPECT_TRUE(clock);
  EXPECT_TRUE(english);
  EXPECT_TRUE(japanese);
}

// message.xml: sequences over real frames, a click on the head, the idle list.
TEST_F(LoadedSample, SequencesPlayRealRangesAndTheHeadClickTalks) {
  const Scene& s = *scene_;
  XmlDocument document;
  ASSERT_TRUE(document.loadFile((kSample / "message.xml").string()));
  XmlElement root;
  ASSERT_EQ(document.parse(&root), 1);
  EXPECT_FALSE(document.lastOutcome().firstPass.has_value());
  XmlElement* vashel = root.findElement("vashel");
  ASSERT_NE(vashel, nullptr);
  std::set<std::string> names;
  bool headTalks = false;
  for (size_t i = 0; i < vashel->childCount(); ++i) {
    const XmlElement* sequence = vashel->child(i);
    if (sequence->name() != "sequence") continue;
    const std::string* name = sequence->getAttribute("name");
    ASSERT_NE(name, nullptr);
    names.insert(*name);
    const int start = std::stoi(*sequence->getAttribute("start")), end = std::stoi(*sequence->getAttribute("end"));
    EXPECT_GE(start, s.sceneStartFrame) << *name;
    EXPECT_LT(start, end) << *name;
    EXPECT_LE(end, s.sceneEndFrame) << *name;
    if (const std::string* pick = sequence->getAttribute("pick")) {
      const int mesh = s.findMesh(*pick);
      ASSERT_GE(mesh, 0) << *pick;
      EXPECT_NE(actionNamed(s.meshes[mesh].picking), nullptr) << "a click on " << *pick << " must name an action";
      size_t entries = 0, groupMembers = 0;
      bool pages = false;
      for (size_t k = 0; k < sequence->childCount(); ++k) {
        const XmlElement* entry = sequence->child(k);
        ++entries;
        if (entry->name() == "random") groupMembers = entry->childCount();
        pages |= entry->text().find("\\0") != std::string::npos;
      }
      headTalks = *pick == "pick_head" && entries >= 3 && groupMembers >= 2 && pages;
    }
  }
  EXPECT_TRUE(headTalks) << "the head sequence: several messages, a random group and a paged text";
  // Entries without a name hand the loop end to the action table; the named
  // ones must name sequences.
  XmlElement* idle = root.findElement("randomaction");
  ASSERT_NE(idle, nullptr);
  size_t named = 0;
  for (size_t i = 0; i < idle->childCount(); ++i) {
    const std::string* name = idle->child(i)->getAttribute("name");
    if (name == nullptr) continue;
    ++named;
    EXPECT_TRUE(names.count(*name)) << *name << " is not a sequence";
  }
  EXPECT_GE(named, 2u);
}

// A double-click on her head while paused, through the renderer's pick pass:
// it must select the joint her head's click target moves with, with axes a
// drag can turn (a sideways drag takes the first free one).
TEST_F(LoadedSample, ADoubleClickOnHerHeadWhilePausedSelectsAJointToPose) {
  Scene s = *scene_;
  const int mesh = s.findMesh("pick_head");
  ASSERT_GE(mesh, 0);
  const Mesh& target = s.meshes[mesh];
  constexpr int kFrame = 45;
  const auto size = s.settings.windowSize.value_or(std::array<int, 2>{240, 320});
  // The middle of the target, through the wide camera.
  double mid[3] = {0, 0, 0};
  for (const MeshVertex& v : target.vertices) {
    for (int k = 0; k < 3; ++k) mid[k] += v.base[k] / static_cast<double>(target.vertices.size());
  }
  ASSERT_GE(s.activeCamera, 0);
  const Camera& camera = s.cameras[s.activeCamera];
  const double depth = evaluateCurve(camera.curve(TranslateZ), kFrame) - mid[2];
  const double half = depth * std::tan(camera.vfov * kDegreesToRadians / 2.0);
  const double aspect = static_cast<double>(size[0]) / size[1];
  const ClientPoint click{
      static_cast<int>(size[0] / 2.0 * (1.0 + (mid[0] - evaluateCurve(camera.curve(TranslateX), kFrame)) / (half * aspect))),
      static_cast<int>(size[1] / 2.0 * (1.0 - (mid[1] - evaluateCurve(camera.curve(TranslateY), kFrame)) / half))};

  auto renderer = std::make_unique<OffscreenRenderer>();
  ASSERT_TRUE(renderer->open(size[0], size[1])) << renderer->error();
  renderer->showScene(s, nullptr);  // textures play no part in a pick: no reports
  renderer->player.clock.playState = kPaused;
  renderer->player.clock.currentFrame = kFrame;
  renderer->clickAt(click, kPickToSelect);
  renderer->drawFrame(s);
  const RenderState& state = renderer->state;

  ASSERT_EQ(state.lastPickIndex, mesh) << "the double-click at " << click.x << "," << click.y << " missed";
  ASSERT_GE(state.selectedJoint, 0) << target.picking << " names no joint: nothing to pose";
  EXPECT_EQ(state.selectionIndex, mesh + 1);
  EXPECT_NE(actionNamed(target.picking), nullptr) << "a right-click must still start the pat";
  for (size_t v = 0; v < target.vertices.size(); ++v) {
    ASSERT_EQ(target.influences(v).size(), 1u);
    EXPECT_EQ(target.influences(v)[0].joint, state.selectedJoint) << "the target must follow the joint it selects";
  }
  EXPECT_EQ(state.selectedAxisMask, 2 | 4) << "Y takes a sideways drag, Z an up and down one";
  const auto& l = s.joints[state.selectedJoint].limits;
  EXPECT_LT(l[2], 0.0) << "turns both ways";
  EXPECT_GT(l[3], 0.0);
}

// The character as `glj play` runs her, on a copy of the loaded scene (a run
// uses up the default message and counts plays), with the bundle's message.xml.
class PlayedSample : public LoadedSample {
 protected:
  struct Run {
    std::vector<std::string> lines;
    std::string diagnostics;
  };

  static std::string readBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
  }

  static Run play(const HeadlessOptions& options) {
    Scene scene = *scene_;
    XmlDocument document;
    document.clearBuffer();
    EXPECT_TRUE(document.loadFile((kSample / "message.xml").string()));
    XmlElement root;
    document.parse(&root);
    std::FILE* out = std::tmpfile();
    std::FILE* diagnostics = std::tmpfile();
    {
      HeadlessPlayer player(scene, options, out, diagnostics);
      player.startPlayback(hooks_->startupSlot);
      player.setMessageRoot(&root);
      player.run();
    }
    Run run;
    std::istringstream text(readBack(out));
    for (std::string line; std::getline(text, line);) run.lines.push_back(line);
    run.diagnostics = readBack(diagnostics);
    return run;
  }

  // A message as the player prints it: UTF-8, up to its first line break.
  static std::string firstLine(const std::string& cp932) {
    std::string text = convertToUtf8(kDataCodePage, cp932);
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
  }
};

TEST_F(PlayedSample, WithinMinutesSheSaysTheHoursWordAndTheTime) {
  for (const int hour : {7, 12, 23}) {
    std::string word;
    for (const MessageEntry& m : scene_->actions[0].messages) {
      if (m.hour == hour) word = firstLine(m.text);
    }
    ASSERT_FALSE(word.empty()) << "nothing to say at " << hour;
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
      HeadlessOptions options;
      options.durationMs = 5 * 60 * 1000;
      options.seed = seed;
      options.hour = hour;
      const Run run = play(options);
      bool saidWord = false, toldTime = false;
      for (const std::string& line : run.lines) {
        const size_t at = line.find(" balloon ");
        if (at == std::string::npos) continue;
        const std::string text = line.substr(line.find(' ', at + 9) + 1);
        saidWord |= text.starts_with(word);
        // The minute advances with the simulated clock.
        const int minute = static_cast<int>(std::stod(line) / 60.0);
        char clock[32];
        std::snprintf(clock, sizeof clock, "It's %02d:%02d now.", hour, minute);
        toldTime |= text.ends_with(clock);
      }
      EXPECT_TRUE(saidWord) << "hour " << hour << ", seed " << seed << ": never said " << word;
      EXPECT_TRUE(toldTime) << "hour " << hour << ", seed " << seed << ": never told the time";
    }
  }
}

TEST_F(PlayedSample, ABodyClickTicklesAndAHeadClickStartsThePat) {
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    HeadlessOptions options;
    options.durationMs = 70 * 1000;
    options.seed = seed;
    options.clicks = {{"pick_body", 30 * 1000}, {"pick_head", 60 * 1000}};
    const Run run = play(options);
    EXPECT_EQ(run.diagnostics, "") << "seed " << seed;
    const auto tickle = std::find_if(run.lines.begin(), run.lines.end(), [](const std::string& line) {
      return line.starts_with("30.000 action 10 tickle 540 620 camera=closeup ");
    });
    EXPECT_NE(tickle, run.lines.end()) << "seed " << seed << ": the body click did not tickle";
    const auto pat = std::find(run.lines.begin(), run.lines.end(), "60.000 sequence pat 630 710");
    ASSERT_NE(pat, run.lines.end()) << "seed " << seed << ": the head click did not start the pat";
    ASSERT_NE(pat + 1, run.lines.end());
    EXPECT_TRUE((pat + 1)->starts_with("60.000 balloon ")) << "the pat talks at once";
  }
}

}  // namespace
}  // namespace vashel
