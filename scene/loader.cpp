// The scene loader: the section state machine over the file's lines, the
// finishing steps, and the file wrappers.
#include "scene/loader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/regular_file.h"
#include "scene/scene_builder.h"
#include "scene/scene_text.h"

namespace vashel {
namespace {

enum class Section {
  None, Mesh, Joint, SkinCluster, Camera, TextureData, AnimationSet, Light, Blend
};


constexpr double kDefaultCameraVfov = 37.84;
constexpr double kPi = 3.14159265358979323846;

float toFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

// Frame rounding for a frame that comes from outside (the player hook).
int safeRoundFrame(double frame) {
  const double rounded = frame + 0.5;
  if (!(rounded > -2147483648.0 && rounded < 2147483648.0)) return 0;
  return static_cast<int>(rounded);
}

AnimCurve oneKeyCurve(double value) {
  AnimCurve curve(1);
  curve.times[0] = 1.0;
  curve.values[0] = value;
  return curve;
}

// The three parts of a face corner, for diagnostics.
constexpr const char* kCornerPartNames[3] = {"vertex", "texture-coordinate", "normal"};

struct SectionKeyword {
  std::string_view prefix;
  Section section;
};

// Matched as prefixes at column 0, in this order.
constexpr SectionKeyword kSectionKeywords[] = {
    {"mesh", Section::Mesh},           {"blend", Section::Blend},
    {"joint", Section::Joint},         {"skinclus", Section::SkinCluster},
    {"camera", Section::Camera},       {"texture-end", Section::None},
    {"texture-data", Section::TextureData}, {"animation-set", Section::AnimationSet},
    {"light", Section::Light},
};

// Key comparison with the literal's length known, so that it unrolls into a
// few instructions instead of a library call.
template <std::size_t N>
inline bool keyIs(std::string_view key, const char (&literal)[N]) {
  if (key.size() != N - 1) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (key[i] != literal[i]) return false;
  }
  return true;
}

// The node curve slot named by a key, or -1.
int nodeCurveSlot(std::string_view key) {
  if (key.size() != 11) return -1;
  static constexpr std::string_view kKeys[kNodeCurveCount] = {
      "translateX:", "translateY:", "translateZ:", "rotateX:", "rotateY:", "rotateZ:"};
  for (int slot = 0; slot < kNodeCurveCount; ++slot) {
    if (key == kKeys[slot]) return slot;
  }
  return -1;
}

int nodeRotateSlot(std::string_view key) {
  if (key.size() != 8) return -1;
  if (keyIs(key, "rotateX:")) return RotateX;
  if (keyIs(key, "rotateY:")) return RotateY;
  if (keyIs(key, "rotateZ:")) return RotateZ;
  return -1;
}

int curveSlotOf(std::string_view key) {
  const int slot = nodeCurveSlot(key);
  return slot >= 0 ? slot : nodeRotateSlot(key);
}

// Names to list positions, for the lookups by name: the first match and the
// last match (parents take the last).
struct NamePositions {
  int first = -1;
  int last = -1;
};

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
  }
};

class NameIndex {
 public:
  void add(std::string_view name, int position) {
    auto found = positions_.find(name);
    if (found == positions_.end()) {
      positions_.emplace(std::string(name), NamePositions{position, position});
    } else {
      found->second.last = position;
    }
  }
  NamePositions find(std::string_view name) const {
    const auto found = positions_.find(name);
    return found == positions_.end() ? NamePositions{} : found->second;
  }

 private:
  std::unordered_map<std::string, NamePositions, NameHash, std::equal_to<>> positions_;
};

}  // namespace

struct SceneBuilder::State {
  State(Scene& s, LoadHooks& h, LoadStatus& st, LoadLimits l)
      : scene(s), hooks(h), status(st), limits(l) {}

  Scene& scene;
  LoadHooks& hooks;
  LoadStatus& status;
  const LoadLimits limits;
  std::vector<Diagnostic> diagnostics;
  std::size_t droppedDiagnostics = 0;
  long long recognized = 0;

  // Working state of one load.
  Section section = Section::None;
  int mesh = -1, joint = -1, camera = -1, texture = -1, light = -1;
  bool meshIsBoundingBox = false;
  std::size_t pixelFill = 0;
  int skinTarget = -1;
  std::vector<int> influenceList;
  std::vector<double> weights;  // reused by "weight" lines
  std::vector<SkinInfluence> influenceScratch;  // the same, paired with joints
  // "weight" lines for vertices already past, applied in one pass per mesh
  // after the last line.
  struct LateInfluences {
    int mesh;
    std::size_t vertex, start, count;
  };
  std::vector<LateInfluences> lateInfluences;
  std::vector<SkinInfluence> lateInfluencePool;
  std::vector<int> cornerVertex, cornerTexcoord, cornerNormal;  // reused by "f" lines
  NameIndex meshNames, jointNames;
  std::int64_t texturePixels = 0;
  std::int64_t bakedEntries = 0;
  bool bakeBudgetReported = false;
  int line = 0;
  long long lines = 0, totalLines = 0;  // lines with content so far, and LFs in all
  SceneLineReader* reader = nullptr;

  // Faces whose indices reached past their lists when read; checked again
  // once the whole file is in.
  struct PendingFace {
    int mesh;
    std::size_t face;
    int line;
  };
  std::vector<PendingFace> pendingFaces;

  // Lists grow once to fit the run of like lines that follows, from their
  // first entry on, which spares the copies and fresh pages of repeated
  // doubling (and leaves no trail of freed blocks of every size).
  template <typename List>
  void makeRoom(List& list, std::string_view prefix) {
    if (list.size() < list.capacity() || !reader) return;
    const std::size_t run = reader->countRun(prefix, std::size_t{1} << 26);
    list.reserve(list.size() + 1 + std::max(run, list.size()));
  }

  // The same for faces: the run of face lines ahead times the corners per
  // face so far, but no more corners than the rest of the text can hold
  // (each takes at least two bytes, its two '/').
  void makeRoomForFaces(Mesh& target, std::size_t corners) {
    const std::size_t faces = target.faceCount();
    if (!reader || target.hasFaceRoom(corners)) return;
    const std::size_t run = reader->countRun(" f ", std::size_t{1} << 26);
    const std::size_t more = 1 + std::max(run, faces);
    const std::size_t perFace = faces == 0 ? corners : (target.cornerCount() + faces - 1) / faces;
    target.reserveFaces(more, corners + std::min(more * perFace, reader->remainingBytes() / 2));
  }

  // The same for skin weights: the run of weight lines ahead, each with as
  // many influences as this one, within what the rest of the text can hold
  // (each weight takes at least two bytes).
  void makeRoomForInfluences(Mesh& target, std::size_t count) {
    if (!reader) return;
    if (target.influenceCount() + count <= target.influenceCapacity()) return;
    const std::size_t run = reader->countRun(" weight ", std::size_t{1} << 26);
    const std::size_t more = std::max(run * count, target.influenceCount());
    target.reserveInfluences(target.vertices.size(),
                             count + std::min(more, reader->remainingBytes() / 2));
  }
  void applyLateInfluences();

  void report(std::string text) { reportAt(line, std::move(text)); }
  void reportAt(int where, std::string text) {
    if (diagnostics.size() < kMaxDiagnostics) {
      diagnostics.push_back({where, std::move(text)});
    } else {
      ++droppedDiagnostics;
    }
  }

  void clearCurrent() {
    mesh = joint = camera = texture = light = -1;
    meshIsBoundingBox = false;
  }

  void readLines(std::span<const char> text, SceneVariant variant);
  void countLine() {
    if (++lines % 1000 == 0) reportProgress();
    line = reader->lineNumber();
  }
  void reportProgress();
  // Moves the reader past a line read in place, `next` being the byte after its LF.
  void enterLine(const char* next) {
    reader->skipLine(next);
    countLine();
  }
  bool readInPlace(const char* at, const char* end);
  bool weightLine(std::int32_t vertex);
  void handleLine(std::string_view text, const char* readableEnd);
  bool handleGlobal(std::string_view key, LineTokenizer& tokens);
  bool handleSectionHeader(std::string_view text, LineTokenizer& tokens);
  void meshAttribute(std::string_view key, LineTokenizer& tokens);
  void faceLine(Mesh& mesh, LineTokenizer& tokens);
  void jointAttribute(std::string_view key, LineTokenizer& tokens);
  void cameraAttribute(std::string_view key, LineTokenizer& tokens);
  void lightAttribute(std::string_view key, LineTokenizer& tokens);
  void skinAttribute(std::string_view key, LineTokenizer& tokens);
  void blendAttribute(std::string_view key, LineTokenizer& tokens);
  void textureRow(std::string_view key, LineTokenizer& tokens);
  void actionLine(std::string_view key, LineTokenizer& tokens);
  bool readCurve(LineTokenizer& tokens, CurveKind kind, AnimCurve& curve);
  bool readNodeCurve(SceneNode& node, std::string_view key, LineTokenizer& tokens);

  void bake(AnimCurve& curve);
  void finish(const LoadOptions& options);
  void checkFaces();
};

// Every loader bake goes through here: past the budget a curve keeps no table
// and is read from its keys, which gives the same values between keys up to
// the Bézier shape.
void SceneBuilder::State::bake(AnimCurve& curve) {
  const int end = std::min(scene.sceneEndFrame, kMaxBakedFrames - 1);
  const std::int64_t entries = end < 0 ? 0 : std::int64_t{end} + 1;
  if (entries > limits.bakedFrames - bakedEntries) {
    if (!bakeBudgetReported) {
      report("too many baked frames in all; further curves are read from their keys");
      bakeBudgetReported = true;
    }
    return;
  }
  bakedEntries += entries;
  bakeCurve(curve, scene.sceneStartFrame, scene.sceneEndFrame);
}

// ---------------------------------------------------------------------------
// Lines

void SceneBuilder::State::readLines(std::span<const char> text, SceneVariant variant) {
  scene.sounds.clear();
  totalLines = static_cast<long long>(countLineFeeds(text));
  SceneLineReader lineReader(text, variant);
  reader = &lineReader;
  lines = 0;
  for (;;) {
    // Lines of the commonest shapes are read in place; the rest, and any
    // of those shapes with something unusual in them, go the general way.
    if (const char* at = lineReader.peekLine(); at && readInPlace(at, lineReader.textEnd())) {
      continue;
    }
    if (lineReader.readSceneLine() <= 0) break;
    const std::string_view current = lineReader.line();
    if (current.empty()) continue;
    if (lineReader.fileMarker()) break;
    countLine();
    handleLine(current, lineReader.readableEnd());
  }
  reader = nullptr;
  applyLateInfluences();
}

void SceneBuilder::State::reportProgress() {
  if (totalLines > 0) {
    status.loadProgress = static_cast<int>(std::min(lines * 100 / totalLines, 100LL));
  }
  hooks.setTitle("reading... " + std::to_string(lines) + " lines");
}

// The line at `at` when it is a position, normal, texture coordinate, face
// or skin weight of the plain forms an exporter writes (keys after one
// space); false, having kept nothing, for any other line. The values and
// diagnostics are those handleLine gives for the same line.
bool SceneBuilder::State::readInPlace(const char* at, const char* end) {
  if (end - at < 4 || at[0] != ' ') return false;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  if (section == Section::Mesh) {
    if (mesh < 0) return false;
    Mesh& target = scene.meshes[mesh];
    if (at[1] == 'f' && blank(at[2])) {
      constexpr std::size_t kCorners = 16;
      int parts[3][kCorners];
      std::size_t count = 0;
      std::uint32_t largest[3];
      const char* next = readPlainCornersLine(at + 3, end, parts[0], parts[1], parts[2],
                                              kCorners, &count, largest);
      if (!next) return false;
      enterLine(next);
      // A part as written (1-based) past its list's size reaches beyond it;
      // an empty one (0) never does.
      if (largest[0] > target.vertices.size() || largest[1] > target.texcoords.size() ||
          largest[2] > target.normals.size()) {
        pendingFaces.push_back({mesh, target.faceCount(), line});
      }
      makeRoomForFaces(target, count);
      target.addFace(std::span<const int>(parts[0], count), std::span<const int>(parts[1], count),
                     std::span<const int>(parts[2], count));
      ++recognized;
      return true;
    }
    if (at[1] != 'v' || meshIsBoundingBox) return false;
    double xyz[3];
    // A position or normal: three numbers from `from`, kept as rest and
    // working point alike.
    const auto addPoint = [&](const char* from, auto& list, const char* key) {
      const char* next = readNumbersLine(from, end, xyz, 3);
      if (!next) return false;
      enterLine(next);
      makeRoom(list, key);
      MeshVertex& point = list.emplace_back();
      point.base = {xyz[0], xyz[1], xyz[2], 1.0};
      point.deformed = point.base;
      return true;
    };
    if (blank(at[2])) {
      if (!addPoint(at + 3, target.vertices, " v ")) return false;
    } else if (at[2] == 'n' && blank(at[3])) {
      if (!addPoint(at + 4, target.normals, " vn ")) return false;
    } else if (at[2] == 't' && blank(at[3])) {
      const char* next = readNumbersLine(at + 4, end, xyz, 2);
      if (!next) return false;
      enterLine(next);
      makeRoom(target.texcoords, " vt ");
      target.texcoords.push_back({xyz[0], xyz[1]});
    } else {
      return false;
    }
    ++recognized;
    return true;
  }
  if (section == Section::SkinCluster && skinTarget >= 0 && end - at > 8 &&
      std::memcmp(at + 1, "weight", 6) == 0 && blank(at[7])) {
    std::int32_t vertex = 0;
    weights.clear();
    const char* next = readIntegerAndNumbersLine(at + 8, end, &vertex, weights);
    if (!next) return false;
    enterLine(next);
    if (weightLine(vertex)) ++recognized;
    return true;
  }
  return false;
}

void SceneBuilder::State::applyLateInfluences() {
  std::vector<std::vector<InfluenceUpdate>> updates(scene.meshes.size());
  for (const LateInfluences& late : lateInfluences) {
    updates[late.mesh].push_back(
        {late.vertex, std::span(lateInfluencePool).subspan(late.start, late.count)});
  }
  for (std::size_t m = 0; m < updates.size(); ++m) scene.meshes[m].updateInfluences(updates[m]);
  lateInfluences = {};
  lateInfluencePool = {};
}

void SceneBuilder::State::handleLine(std::string_view text, const char* readableEnd) {
  // Attribute lines must be indented by a space; anything else ends the
  // current objects. Pixel rows may start anywhere.
  if (section != Section::TextureData && text[0] != ' ') clearCurrent();

  LineTokenizer tokens(text, readableEnd);
  const std::string_view key = tokens.next();
  if (!key.empty() && key.back() == ':' && handleGlobal(key, tokens)) {
    ++recognized;
    return;
  }
  if (text[0] != ' ' && handleSectionHeader(text, tokens)) {
    ++recognized;
    return;
  }
  switch (section) {
    case Section::Mesh:
      if (mesh >= 0) meshAttribute(key, tokens);
      break;
    case Section::Joint:
      if (joint >= 0) jointAttribute(key, tokens);
      break;
    case Section::Camera:
      if (camera >= 0) cameraAttribute(key, tokens);
      break;
    case Section::Light:
      if (light >= 0) lightAttribute(key, tokens);
      break;
    case Section::SkinCluster:
      skinAttribute(key, tokens);
      break;
    case Section::Blend:
      blendAttribute(key, tokens);
      break;
    case Section::TextureData:
      if (texture >= 0) textureRow(key, tokens);
      break;
    case Section::AnimationSet:
      actionLine(key, tokens);
      break;
    case Section::None:
      break;
  }
}

bool SceneBuilder::State::handleGlobal(std::string_view key, LineTokenizer& tokens) {
  SceneSettings& settings = scene.settings;
  if (keyIs(key, "time:")) {
    scene.sceneStartFrame = tokens.nextInteger();
    scene.sceneEndFrame = tokens.nextInteger();
    if (scene.sceneEndFrame >= kMaxBakedFrames) {
      report("time: end frame " + std::to_string(scene.sceneEndFrame) +
             " is beyond the baked range; frames from " + std::to_string(kMaxBakedFrames) +
             " on are read from the keys");
    }
  } else if (keyIs(key, "windowsize:")) {
    const int width = tokens.nextInteger();
    settings.windowSize = std::array<int, 2>{width, tokens.nextInteger()};
  } else if (keyIs(key, "startupmode:")) {
    const int playState = tokens.nextInteger();
    settings.startupMode = std::array<int, 2>{playState, tokens.nextInteger()};
  } else if (keyIs(key, "region:")) {
    tokens.next();
  } else if (keyIs(key, "randomAction:")) {
    const int max = tokens.nextInteger();
    const int time = tokens.nextInteger();
    settings.randomAction = std::array<int, 3>{max, time, tokens.nextInteger()};
  } else if (keyIs(key, "randomMessage:")) {
    const int min = tokens.nextInteger();
    settings.randomMessage = std::array<int, 2>{min, tokens.nextInteger()};
  } else if (keyIs(key, "rss:")) {
    settings.feedUrl = std::string(tokens.next());
  } else if (keyIs(key, "fullscreen:")) {
    settings.fullscreen = tokens.nextNumber() != 0.0 ? 1 : 0;
    if (settings.fullscreen) hooks.setDisplayMode();
  } else if (keyIs(key, "playsound:")) {
    const int slot = static_cast<int>(scene.sounds.size());
    scene.sounds.push_back({std::string(tokens.next()), slot});
  } else {
    return false;
  }
  return true;
}

bool SceneBuilder::State::handleSectionHeader(std::string_view text, LineTokenizer& tokens) {
  const SectionKeyword* match = nullptr;
  for (const SectionKeyword& keyword : kSectionKeywords) {
    if (text.starts_with(keyword.prefix)) {
      match = &keyword;
      break;
    }
  }
  if (!match) return false;
  section = match->section;
  switch (section) {
    case Section::Mesh: {
      Mesh& created = scene.meshes.emplace_back();
      created.name = tokens.next();
      const std::string_view parent = tokens.next();
      mesh = static_cast<int>(scene.meshes.size()) - 1;
      meshNames.add(created.name, mesh);
      if (parent != "World") created.parent = meshNames.find(parent).last;
      meshIsBoundingBox = created.name == "BBX";
      if (meshIsBoundingBox) {
        created.displayMode = kPickOnly;
        created.unpickable = 1;
      }
      break;
    }
    case Section::Blend:
      tokens.next();
      tokens.next();
      mesh = -1;
      meshIsBoundingBox = false;
      break;
    case Section::Joint: {
      Joint& created = scene.joints.emplace_back();
      created.name = tokens.next();
      joint = static_cast<int>(scene.joints.size()) - 1;
      jointNames.add(created.name, joint);
      if (tokens.hasToken()) created.parent = jointNames.find(tokens.next()).last;
      break;
    }
    case Section::SkinCluster:
      tokens.next();
      break;
    case Section::Camera: {
      Camera& created = scene.cameras.emplace_back();
      created.name = tokens.next();
      camera = static_cast<int>(scene.cameras.size()) - 1;
      break;
    }
    case Section::TextureData: {
      const std::int64_t width = tokens.nextInteger();
      const std::int64_t height = tokens.nextInteger();
      TextureImage& created = scene.textureImages.emplace_back();
      created.name = tokens.next();
      texture = static_cast<int>(scene.textureImages.size()) - 1;
      pixelFill = 0;
      if (width < 0 || height < 0 || width * height > limits.texturePixels - texturePixels) {
        report("texture-data: size " + std::to_string(width) + " x " + std::to_string(height) +
               (width < 0 || height < 0 ? " out of range"
                                        : " passes the limit of " +
                                              std::to_string(limits.texturePixels) +
                                              " pixels for all images") +
               "; the image is left empty");
        texture = -1;
      } else {
        created.width = static_cast<int>(width);
        created.height = static_cast<int>(height);
        created.pixels.assign(static_cast<std::size_t>(width * height), 0u);
        texturePixels += width * height;
      }
      break;
    }
    case Section::Light: {
      const std::string_view type = tokens.next();
      Light& created = scene.lights.emplace_back();
      created.name = tokens.next();
      created.type = type == "ambient"       ? kLightAmbient
                     : type == "point"       ? kLightPoint
                     : type == "directional" ? kLightDirectional
                                             : kLightNone;
      light = static_cast<int>(scene.lights.size()) - 1;
      break;
    }
    case Section::AnimationSet:
    case Section::None:
      break;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Curves

bool SceneBuilder::State::readCurve(LineTokenizer& tokens, CurveKind kind, AnimCurve& curve) {
  const std::int32_t count = tokens.nextInteger();
  // Keys read as 0 where the line runs out, but not more keys than the line
  // has bytes: such a count is no curve.
  if (count < 0 || static_cast<std::size_t>(count) > tokens.rest().size()) {
    report("curve key count " + std::to_string(count) + " out of range; line ignored");
    return false;
  }
  AnimCurve read(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    read.times[i] = tokens.nextNumber();
    const double value = tokens.nextNumber();
    switch (kind) {
      case CurveKind::Plain: read.values[i] = value; break;
      case CurveKind::Angle: read.values[i] = value * kRadiansToDegrees; break;
      case CurveKind::Transparency: read.values[i] = 1.0 - value; break;
    }
  }
  for (std::int32_t i = 0; i < count; ++i) {
    tokens.nextNumber();
    tokens.nextNumber();
    read.tangentAngle[i] = tokens.nextNumber();
    tokens.nextNumber();
  }
  curve = std::move(read);
  return true;
}

bool SceneBuilder::State::readNodeCurve(SceneNode& node, std::string_view key,
                                        LineTokenizer& tokens) {
  const int slot = curveSlotOf(key);
  if (slot < 0) return false;
  AnimCurve curve;
  if (readCurve(tokens, slot >= RotateX ? CurveKind::Angle : CurveKind::Plain, curve)) {
    node.curves[slot] = std::move(curve);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Section attributes

void SceneBuilder::State::meshAttribute(std::string_view key, LineTokenizer& tokens) {
  Mesh& target = scene.meshes[mesh];
  if (keyIs(key, "v")) {
    makeRoom(target.vertices, " v ");
    MeshVertex& vertex = target.vertices.emplace_back();
    double xyz[3];
    tokens.nextNumbers(xyz, 3);
    const double x = xyz[0], y = xyz[1], z = xyz[2];
    vertex.base = {x, y, z, 1.0};
    vertex.deformed = vertex.base;
    if (meshIsBoundingBox) {
      const double p[3] = {x, y, z};
      for (int i = 0; i < 3; ++i) {
        scene.boundsMin[i] = std::min(scene.boundsMin[i], p[i]);
        scene.boundsMax[i] = std::max(scene.boundsMax[i], p[i]);
      }
    }
  } else if (keyIs(key, "vn")) {
    makeRoom(target.normals, " vn ");
    MeshVertex& normal = target.normals.emplace_back();
    double xyz[3];
    tokens.nextNumbers(xyz, 3);
    normal.base = {xyz[0], xyz[1], xyz[2], 1.0};
    normal.deformed = normal.base;
  } else if (keyIs(key, "vt")) {
    makeRoom(target.texcoords, " vt ");
    double uv[2];
    tokens.nextNumbers(uv, 2);
    target.texcoords.push_back({uv[0], uv[1]});
  } else if (keyIs(key, "f")) {
    faceLine(target, tokens);
  } else if (keyIs(key, "vc")) {
    tokens.nextInteger();
    VertexColor color;
    color.r = tokens.nextNumber();
    color.g = tokens.nextNumber();
    color.b = tokens.nextNumber();
    color.a = tokens.nextNumber();
    target.colors.push_back(color);
  } else if (readNodeCurve(target, key, tokens)) {
  } else if (keyIs(key, "transparencyR:") || keyIs(key, "alphaGain:") ||
             keyIs(key, "alphaOffset:") || keyIs(key, "colorR:") || keyIs(key, "colorG:") ||
             keyIs(key, "colorB:") || keyIs(key, "diffuse:")) {
    AnimCurve curve;
    const CurveKind kind =
        keyIs(key, "transparencyR:") ? CurveKind::Transparency : CurveKind::Plain;
    if (!readCurve(tokens, kind, curve)) return;
    bake(curve);
    std::optional<AnimCurve>* slot = keyIs(key, "alphaOffset:") ? &target.alphaOffset
                                     : keyIs(key, "colorR:")    ? &target.colorR
                                     : keyIs(key, "colorG:")    ? &target.colorG
                                     : keyIs(key, "colorB:")    ? &target.colorB
                                     : keyIs(key, "diffuse:")   ? &target.diffuse
                                                           : &target.alphaGain;
    *slot = std::move(curve);
  } else if (keyIs(key, "visibility:")) {
    AnimCurve curve;
    if (readCurve(tokens, CurveKind::Plain, curve)) target.visibility = std::move(curve);
  } else if (keyIs(key, "picking:")) {
    target.picking = tokens.next();
    target.displayMode = kPickOnly;
  } else if (keyIs(key, "edgeLevel:")) {
    target.edgeLevel = tokens.nextNumber();
  } else if (keyIs(key, "doubleSided:")) {
    target.doubleSided = tokens.nextInteger();
  } else if (keyIs(key, "color") || keyIs(key, "ambientColor") || keyIs(key, "incandescence") ||
             keyIs(key, "specularColor")) {
    Color4f& color = keyIs(key, "color")          ? target.color
                     : keyIs(key, "ambientColor") ? target.ambientColor
                     : keyIs(key, "incandescence") ? target.incandescence
                                              : target.specularColor;
    for (int i = 0; i < 3; ++i) color[i] = toFloat(tokens.nextNumber());
    color[3] = 1.0f;
  } else if (keyIs(key, "cosinePower")) {
    target.cosinePower = toFloat(tokens.nextNumber());
  } else if (keyIs(key, "texture")) {
    target.texture = static_cast<int>(scene.textureNames.size());
    scene.textureNames.emplace_back(tokens.next());
    target.color[0] = target.color[1] = target.color[2] = 1.0f;
  } else if (keyIs(key, "tex-filter")) {
    target.texFilter = tokens.nextInteger();
  } else {
    return;  // "action:", "shader" and unknown keys
  }
  ++recognized;
}

void SceneBuilder::State::faceLine(Mesh& target, LineTokenizer& tokens) {
  // Corners gather in reused lists first: a face line with a bad corner
  // adds nothing.
  cornerVertex.clear();
  cornerTexcoord.clear();
  cornerNormal.clear();
  std::vector<int>* const lists[3] = {&cornerVertex, &cornerTexcoord, &cornerNormal};
  const std::size_t sizes[3] = {target.vertices.size(), target.texcoords.size(),
                                target.normals.size()};
  while (tokens.hasToken()) {
    if (tokens.nextPlainCorners(cornerVertex, cornerTexcoord, cornerNormal) > 0) continue;
    std::string_view corner;
    std::int64_t parts[3];
    if (!tokens.nextFaceCorner(parts, &corner)) {
      report("face corner '" + std::string(corner) + "' lacks two '/'; face ignored");
      return;
    }
    for (int i = 0; i < 3; ++i) {
      if (parts[i] < -1) {
        if (i == 0) {
          report("face index " + std::to_string(parts[i] + 1) + " beyond its list; face ignored");
          return;
        }
        report(std::string(kCornerPartNames[i]) + " index " + std::to_string(parts[i] + 1) +
               " beyond its list; the corner is drawn without it");
        parts[i] = -1;
      }
      lists[i]->push_back(static_cast<int>(parts[i]));
    }
  }
  // Every part is -1 (left empty) or a position in its list so far.
  bool beyond = false;
  for (int i = 0; i < 3; ++i) {
    for (const int part : *lists[i]) {
      beyond |= part >= 0 && static_cast<std::size_t>(part) >= sizes[i];
    }
  }
  if (beyond) pendingFaces.push_back({mesh, target.faceCount(), line});
  makeRoomForFaces(target, cornerVertex.size());
  target.addFace(cornerVertex, cornerTexcoord, cornerNormal);
}

void SceneBuilder::State::jointAttribute(std::string_view key, LineTokenizer& tokens) {
  Joint& target = scene.joints[joint];
  if (keyIs(key, "translation") || keyIs(key, "jointOrientation")) {
    Vec4& v = keyIs(key, "translation") ? target.translation : target.jointOrientation;
    for (int i = 0; i < 3; ++i) v[i] = tokens.nextNumber();
  } else if (readNodeCurve(target, key, tokens)) {
  } else if (key.starts_with("limit-rotate-") && key.size() == 19 && key[18] == ':' &&
             (key.substr(13, 4) == "min-" || key.substr(13, 4) == "max-") && key[17] >= 'x' &&
             key[17] <= 'z') {
    const int axis = key[17] - 'x';
    const int index = axis * 2 + (key[14] == 'a' ? 1 : 0);
    target.limits[index] = tokens.nextNumber() * kRadiansToDegrees;
  } else {
    return;
  }
  ++recognized;
}

void SceneBuilder::State::cameraAttribute(std::string_view key, LineTokenizer& tokens) {
  Camera& target = scene.cameras[camera];
  if (keyIs(key, "vfov")) {
    target.vfov = tokens.nextNumber();
  } else if (!readNodeCurve(target, key, tokens) && !keyIs(key, "color:")) {
    return;
  }
  ++recognized;
}

void SceneBuilder::State::lightAttribute(std::string_view key, LineTokenizer& tokens) {
  Light& target = scene.lights[light];
  if (keyIs(key, "color")) {
    for (int i = 0; i < 3; ++i) target.color[i] = toFloat(tokens.nextNumber());
  } else if (keyIs(key, "intensity")) {
    target.intensity = tokens.nextNumber();
    for (int i = 0; i < 3; ++i) target.color[i] = toFloat(target.color[i] * target.intensity);
  } else if (!readNodeCurve(target, key, tokens)) {
    return;
  }
  ++recognized;
}

void SceneBuilder::State::skinAttribute(std::string_view key, LineTokenizer& tokens) {
  if (keyIs(key, "weight")) {
    if (skinTarget < 0) {
      report("weight before any skin target; line ignored");
      return;
    }
    const std::int32_t vertex = tokens.nextInteger();
    weights.clear();
    while (tokens.hasToken()) weights.push_back(tokens.nextNumber());
    if (!weightLine(vertex)) return;
  } else if (keyIs(key, "joint")) {
    const std::int32_t count = tokens.nextInteger();
    if (count < 0 || static_cast<std::size_t>(count) > tokens.rest().size()) {
      report("influence count " + std::to_string(count) + " out of range; line ignored");
      return;
    }
    influenceList.assign(static_cast<std::size_t>(count), 0);
    for (int& entry : influenceList) entry = std::max(jointNames.find(tokens.next()).first, 0);
  } else if (keyIs(key, "target")) {
    const int found = meshNames.find(tokens.next()).first;
    if (found >= 0) skinTarget = found;
  } else {
    return;
  }
  ++recognized;
}

// A "weight" line of the current skin target, its weights read into
// `weights`; false when it is refused.
bool SceneBuilder::State::weightLine(std::int32_t vertex) {
  Mesh& target = scene.meshes[skinTarget];
  const auto& vertices = target.vertices;
  if (weights.size() > influenceList.size()) {
    report("weight line has " + std::to_string(weights.size()) + " weights for " +
           std::to_string(influenceList.size()) + " influences; line ignored");
    return false;
  }
  // Unknown names gave joint 0, which does not exist while the list is empty.
  if (!weights.empty() && scene.joints.empty()) {
    report("weight line for a skin without joints; line ignored");
    return false;
  }
  if (vertex < 0 || static_cast<std::size_t>(vertex) >= vertices.size()) {
    report("weight for vertex " + std::to_string(vertex) + " that mesh '" +
           scene.meshes[skinTarget].name + "' lacks; line ignored");
    return false;
  }
  const auto v = static_cast<std::size_t>(vertex);
  if (v >= target.influencedVertices()) {
    // Vertices in order, as an exporter writes them: appended in place.
    makeRoomForInfluences(target, weights.size());
    influenceScratch.resize(weights.size());
    for (std::size_t i = 0; i < weights.size(); ++i) {
      influenceScratch[i] = {influenceList[i], weights[i]};
    }
    target.setInfluences(v, influenceScratch);
  } else {
    // A vertex given again or out of order: replaced once the file is read.
    lateInfluences.push_back({skinTarget, v, lateInfluencePool.size(), weights.size()});
    for (std::size_t i = 0; i < weights.size(); ++i) {
      lateInfluencePool.push_back({influenceList[i], weights[i]});
    }
  }
  return true;
}

void SceneBuilder::State::blendAttribute(std::string_view key, LineTokenizer& tokens) {
  if (keyIs(key, "base")) {
    const int found = meshNames.find(tokens.next()).first;
    if (found >= 0) {
      mesh = found;
      meshIsBoundingBox = false;
    }
    ++recognized;
    return;
  }
  if (mesh < 0) return;
  Mesh& base = scene.meshes[mesh];
  if (keyIs(key, "target")) {
    tokens.next();
    const int found = meshNames.find(tokens.next()).first;
    if (found >= 0) base.blendTargets.push_back(found);
  } else if (keyIs(key, "weight:")) {
    AnimCurve curve;
    if (readCurve(tokens, CurveKind::Plain, curve)) base.blendWeights.push_back(std::move(curve));
  } else if (!keyIs(key, "envelope:")) {
    return;
  }
  ++recognized;
}

void SceneBuilder::State::textureRow(std::string_view key, LineTokenizer& tokens) {
  std::vector<std::uint32_t>& pixels = scene.textureImages[texture].pixels;
  // The first token was taken as the key; it is a pixel value as well.
  if (key.empty()) return;
  std::size_t excess = 0;
  auto store = [&](std::int32_t value) {
    if (pixelFill < pixels.size()) {
      pixels[pixelFill++] = static_cast<std::uint32_t>(value);
    } else {
      ++excess;
    }
  };
  store(parseInteger(key));
  while (tokens.hasToken()) store(tokens.nextInteger());
  if (excess > 0) {
    report(std::to_string(excess) + " pixel values beyond " +
           std::to_string(pixels.size()) + " ignored");
  }
  ++recognized;
}

void SceneBuilder::State::actionLine(std::string_view key, LineTokenizer& tokens) {
  if (!keyIs(key, "anim")) return;
  Action action;
  action.name = tokens.next();
  action.startFrame = tokens.nextInteger();
  action.endFrame = tokens.nextInteger();
  action.flag = tokens.nextInteger() != 0;
  action.cameraName = tokens.next();
  const std::string_view slotToken = tokens.next();
  tokens.next();
  action.soundFile = tokens.next();
  // The slot number follows a four-character prefix.
  const int slot = slotToken.size() > 4 ? parseInteger(slotToken.substr(4)) : 0;
  if (slot < 0 || slot >= kActionSlots) {
    report("action slot " + std::to_string(slot) + " outside 0..999; line ignored");
    return;
  }
  action.id = slot;
  action.soundSlot = static_cast<int>(scene.sounds.size());
  scene.sounds.push_back({action.soundFile, action.soundSlot});
  scene.actions[slot] = std::move(action);
  ++recognized;
}

// ---------------------------------------------------------------------------
// Finishing steps

// A face naming a vertex beyond the list is dropped: it has no position to
// draw. A texture coordinate or normal beyond its list only costs its corner
// that attribute (-1, as if the file had left it empty).
void SceneBuilder::State::checkFaces() {
  std::vector<std::vector<std::size_t>> dropped(scene.meshes.size());
  for (const PendingFace& pending : pendingFaces) {
    Mesh& target = scene.meshes[pending.mesh];
    const FaceEdit face = target.editFace(pending.face);
    const bool vertexBeyond =
        std::any_of(face.vertex.begin(), face.vertex.end(), [&](int index) {
          return index >= 0 && static_cast<std::size_t>(index) >= target.vertices.size();
        });
    if (vertexBeyond) {
      reportAt(pending.line, "face index beyond its list; face ignored");
      dropped[pending.mesh].push_back(pending.face);
      continue;
    }
    const std::span<int> lists[3] = {{}, face.texcoord, face.normal};
    const std::size_t sizes[3] = {0, target.texcoords.size(), target.normals.size()};
    for (int part = 1; part < 3; ++part) {
      for (int& index : lists[part]) {
        if (index < 0 || static_cast<std::size_t>(index) < sizes[part]) continue;
        reportAt(pending.line, std::string(kCornerPartNames[part]) + " index " +
                                   std::to_string(std::int64_t{index} + 1) +
                                   " beyond its list; the corner is drawn without it");
        index = -1;
      }
    }
  }
  for (std::size_t m = 0; m < dropped.size(); ++m) {
    if (!dropped[m].empty()) scene.meshes[m].removeFaces(dropped[m]);
  }
  pendingFaces.clear();
}

void SceneBuilder::State::finish(const LoadOptions& options) {
  // Diagnostics from here on have no line of their own.
  line = 0;

  for (Mesh& m : scene.meshes) {
    if (m.texcoords.empty()) m.texcoords.assign(m.vertices.size(), TexCoord{});
    m.vertexArray.assign(4 * m.vertices.size(), 0.0);
    m.normalArray.assign(4 * m.normals.size(), 0.0);
    m.texcoordArray.assign(2 * m.vertices.size(), 0.0);
    scene.vertexTotal += static_cast<int>(m.vertices.size());
  }
  // Faces are checked once the texture coordinates a mesh lacked exist.
  checkFaces();

  for (Mesh& m : scene.meshes) {
    // Normals follow the skinning of the vertex they are paired with, the
    // last pairing winning.
    m.normalSkinVertex.assign(m.normals.size(), -1);
    for (std::size_t f = 0; f < m.faceCount(); ++f) {
      const FaceView face = m.face(f);
      for (std::size_t c = 0; c < face.vertex.size(); ++c) {
        const int v = face.vertex[c];
        const int n = face.normal[c];
        if (v < 0 || n < 0) continue;
        m.normalSkinVertex[static_cast<std::size_t>(n)] = v;
      }
    }
    double t[3] = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
      if (!m.curves[axis]) continue;
      bake(*m.curves[axis]);
      t[axis] = evaluateCurve(*m.curves[axis], 1);
    }
    if (t[0] != 0.0 || t[1] != 0.0 || t[2] != 0.0) {
      for (MeshVertex& vertex : m.vertices) {
        for (int axis = 0; axis < 3; ++axis) {
          vertex.deformed[axis] -= t[axis];
          vertex.base[axis] -= t[axis];
        }
      }
    }
  }

  for (Joint& j : scene.joints) {
    for (std::optional<AnimCurve>& curve : j.curves) {
      if (curve) bake(*curve);
    }
  }

  hooks.loadAllSounds(scene);

  for (const std::string& name : options.messageFiles) {
    FileStatus why = FileStatus::Ok;
    if (std::FILE* file = openRegularFile(name, kMaxMessageFileBytes, "r", &why)) {
      readMessageFile(file, scene, hooks);
      std::fclose(file);
    } else if (why != FileStatus::CannotOpen) {
      report(name + ": " + fileStatusText(why, kMaxMessageFileBytes) + "; not read");
    }
  }

  scene.activeCamera = scene.findCameraByName("persp");
  if (scene.activeCamera < 0) {
    for (int i = 0; i < 3; ++i) scene.center[i] = (scene.boundsMin[i] + scene.boundsMax[i]) / 2;
    Camera& created = scene.cameras.emplace_back();
    created.name = "persp";
    created.vfov = kDefaultCameraVfov;
    const double height = scene.boundsMax[1] - scene.boundsMin[1];
    const double depth = scene.boundsMax[2] - scene.boundsMin[2];
    const double distance =
        height / (2 * std::tan(kDefaultCameraVfov * kPi / 360.0)) + depth / 2 + scene.center[2];
    created.curves[TranslateX] = oneKeyCurve(scene.center[0]);
    created.curves[TranslateY] = oneKeyCurve(scene.center[1]);
    created.curves[TranslateZ] = oneKeyCurve(distance);
    created.curves[RotateX] = oneKeyCurve(0.0);
    created.curves[RotateY] = oneKeyCurve(0.0);
    created.curves[RotateZ] = oneKeyCurve(0.0);
    scene.activeCamera = scene.findCameraByName("persp");
  }

  int startupSlot = -1;
  if (scene.actions[0].endFrame > 0) startupSlot = scene.actions[99].endFrame > 0 ? 99 : 0;
  const int frame = safeRoundFrame(hooks.startPlayback(scene, startupSlot));
  for (Joint& j : scene.joints) {
    for (int axis = 0; axis < 3; ++axis) {
      const auto slot = static_cast<CurveSlot>(RotateX + axis);
      j.cachedRotation[axis] = evaluateCurve(j.curve(slot), frame);
    }
  }

  if (droppedDiagnostics > 0) {
    diagnostics.push_back({0, std::to_string(droppedDiagnostics) + " further problems not shown"});
    droppedDiagnostics = 0;
  }
  hooks.setTitle(kApplicationTitle);
  status.loadState = -1;
}

// ---------------------------------------------------------------------------

SceneBuilder::SceneBuilder(Scene& scene, LoadHooks& hooks, LoadStatus& status, LoadLimits limits)
    : state_(std::make_unique<State>(scene, hooks, status, limits)) {}
SceneBuilder::~SceneBuilder() = default;

void SceneBuilder::readLines(std::span<const char> text, SceneVariant variant) {
  state_->readLines(text, variant);
}
void SceneBuilder::finish(const LoadOptions& options) { state_->finish(options); }
long long SceneBuilder::recognizedLines() const { return state_->recognized; }
const std::vector<Diagnostic>& SceneBuilder::diagnostics() const { return state_->diagnostics; }
std::vector<Diagnostic> SceneBuilder::takeDiagnostics() { return std::move(state_->diagnostics); }

std::vector<Diagnostic> parseScene(std::span<const char> text, const LoadOptions& options,
                                   Scene& scene, LoadHooks& hooks, LoadStatus& status) {
  SceneBuilder builder(scene, hooks, status, options.limits);
  builder.readLines(text, options.variant);
  builder.finish(options);
  return builder.takeDiagnostics();
}

std::vector<char> readSceneFile(const std::string& fileName, std::string* problem) {
  std::vector<char> buffer;
  const FileStatus status = readRegularFile(fileName, kMaxSceneFileBytes, buffer);
  if (status == FileStatus::Ok) return buffer;
  if (problem) *problem = fileStatusText(status, kMaxSceneFileBytes);
  throw MYERRORCODE{status == FileStatus::CannotOpen ? 1 : 2};
}

std::vector<Diagnostic> parseSceneFile(const std::string& fileName, Scene& scene,
                                       LoadHooks& hooks, LoadStatus& status,
                                       std::string& problem) {
  const std::vector<char> text = readSceneFile(fileName, &problem);
  LoadOptions options;
  options.variant = sceneVariant(fileName);
  options.messageFiles = {fileName + ".txt", "data/message.txt"};
  SceneBuilder builder(scene, hooks, status, options.limits);
  builder.readLines(text, options.variant);
  if (builder.recognizedLines() == 0) {
    problem = std::string("not a scene file (no line of it was understood as ") +
              variantName(options.variant) + " scene text)";
    throw MYERRORCODE{kNotASceneFile};
  }
  builder.finish(options);
  return builder.takeDiagnostics();
}

void loadScene(const std::string& fileName, Scene& scene, LoadHooks& hooks, LoadStatus& status) {
  std::vector<Diagnostic> diagnostics;
  std::string problem;
  try {
    diagnostics = parseSceneFile(fileName, scene, hooks, status, problem);
  } catch (const MYERRORCODE& error) {
    if (error.code != 1) std::fprintf(stderr, "%s: %s\n", fileName.c_str(), problem.c_str());
    throw;
  }
  // Diagnostics quote names from the file, which are code page 932.
  for (const Diagnostic& diagnostic : diagnostics) {
    const std::string shown = convertToUtf8(kDataCodePage, diagnostic.text);
    if (diagnostic.line > 0) {
      std::fprintf(stderr, "%s:%d: %s\n", fileName.c_str(), diagnostic.line, shown.c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", fileName.c_str(), shown.c_str());
    }
  }
}

int tryLoadScene(const std::string& fileName, Scene& scene, LoadHooks& hooks, LoadStatus& status) {
  try {
    loadScene(fileName, scene, hooks, status);
    return 1;
  } catch (const MYERRORCODE& error) {
    status.loadState = -1;
    std::fputs(error.code == 1 ? "ファイルないよ\n" : "何がなにやら、とにかくエラー\n",
               stderr);
    return 0;
  }
}

}  // namespace vashel
