// The in-memory character: plain records filled once by the loader and read
// by the player and the renderer. Records refer to each other by list index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/curve.h"
#include "scene/large_pages.h"

namespace vashel {

using Mat4 = std::array<double, 16>;  // row-major, for column vectors
using Vec4 = std::array<double, 4>;
using Color4f = std::array<float, 4>;

struct SkinInfluence {
  int joint = 0;  // index into the joint list
  double weight = 0.0;
};

// One vertex, or one normal (the same record). A vertex's skin influences
// are kept by its mesh (Mesh::influences); a normal's are those of a vertex
// (Mesh::normalInfluences).
struct MeshVertex {
  Vec4 deformed{0, 0, 0, 1};  // what is drawn
  Vec4 base{0, 0, 0, 1};      // rest position, relative to the mesh's translation at frame 1
};

// New influences for one vertex, for Mesh::updateInfluences.
struct InfluenceUpdate {
  std::size_t vertex = 0;
  std::span<const SkinInfluence> influences;
};

// One polygon's corner lists as stored in its mesh: equal lengths, one entry
// per corner, 0-based, -1 where the file left a part empty.
struct FaceView {
  std::span<const int> vertex, texcoord, normal;
};

// The same, writable in place (the corner count is fixed once added).
struct FaceEdit {
  std::span<int> vertex, texcoord, normal;
};

struct TexCoord {
  double u = 0.0, v = 0.0;
};

// A negative r marks a vertex without colour.
struct VertexColor {
  double r = 0.0, g = 0.0, b = 0.0, a = 0.0;
};

// Curve slots shared by every node kind.
enum CurveSlot { TranslateX, TranslateY, TranslateZ, RotateX, RotateY, RotateZ, kNodeCurveCount };

struct SceneNode {
  std::string name;
  std::array<std::optional<AnimCurve>, kNodeCurveCount> curves;  // translate X..Z, rotate X..Z (degrees)
  int parent = -1;  // index into the list of the node's own kind
  Mat4 world{};
  Mat4 inverseBind{};
  Mat4 skin{};

  const AnimCurve* curve(CurveSlot slot) const { return curves[slot] ? &*curves[slot] : nullptr; }
};

enum DisplayMode : std::uint8_t { kPickOnly = 0, kDrawn = 1 };

struct Mesh : SceneNode {
  LargeList<MeshVertex> vertices;
  LargeList<MeshVertex> normals;
  LargeList<TexCoord> texcoords;
  std::vector<VertexColor> colors;  // position i belongs to vertex i

  std::size_t faceCount() const { return faceStart_.size() - 1; }
  std::size_t cornerCount() const { return faceVertex_.size(); }
  FaceView face(std::size_t f) const {
    const std::size_t at = faceStart_[f], n = faceStart_[f + 1] - at;
    return {{faceVertex_.data() + at, n}, {faceTexcoord_.data() + at, n},
            {faceNormal_.data() + at, n}};
  }
  FaceEdit editFace(std::size_t f) {
    const std::size_t at = faceStart_[f], n = faceStart_[f + 1] - at;
    return {{faceVertex_.data() + at, n}, {faceTexcoord_.data() + at, n},
            {faceNormal_.data() + at, n}};
  }
  // Appends a face with one corner per vertex entry; a texture-coordinate or
  // normal list shorter than that reads as -1 for the missing corners, and
  // entries beyond it are dropped (they belong to no corner).
  void addFace(std::span<const int> vertex, std::span<const int> texcoord,
               std::span<const int> normal);
  void addFace(std::initializer_list<int> vertex, std::initializer_list<int> texcoord,
               std::initializer_list<int> normal) {
    addFace(std::span<const int>(vertex.begin(), vertex.size()),
            std::span<const int>(texcoord.begin(), texcoord.size()),
            std::span<const int>(normal.begin(), normal.size()));
  }
  // Room for this many more faces and corners, so that a long run of faces
  // grows its lists once.
  void reserveFaces(std::size_t faces, std::size_t corners);
  bool hasFaceRoom(std::size_t corners) const {
    return faceStart_.size() < faceStart_.capacity() &&
           faceVertex_.capacity() - faceVertex_.size() >= corners;
  }
  // Drops the faces at the given ascending positions, keeping the order of the rest.
  void removeFaces(std::span<const std::size_t> ascending);
  void clearFaces();
  // Heap bytes held by the face lists.
  std::size_t faceBytes() const;

  std::uint8_t displayMode = kDrawn;
  std::uint8_t unpickable = 0;  // 1 for the bounding-box mesh "BBX"
  std::optional<AnimCurve> visibility;
  std::string picking;  // action to start or joint to select when clicked

  double edgeLevel = 0.0;
  int doubleSided = 1;
  Color4f color{0, 0, 0, 1};
  Color4f ambientColor{0, 0, 0, 1};
  Color4f incandescence{0, 0, 0, 1};
  Color4f specularColor{0, 0, 0, 0};
  float cosinePower = 0.0f;
  int texFilter = 1;
  int texture = -1;  // index into the texture-name list

  std::optional<AnimCurve> alphaGain;  // "alphaGain:" or "transparencyR:"
  std::optional<AnimCurve> alphaOffset;
  std::optional<AnimCurve> colorR, colorG, colorB;
  std::optional<AnimCurve> diffuse;

  // Renderer work arrays, sized after loading.
  std::vector<double> vertexArray;    // 4 per vertex
  std::vector<double> normalArray;    // 4 per normal
  std::vector<double> texcoordArray;  // 2 per vertex

  std::vector<int> blendTargets;           // mesh indices
  std::vector<AnimCurve> blendWeights;     // weight i belongs to target i

  // Normal i follows the skinning of vertex normalSkinVertex[i] (-1: none),
  // the vertex of its last pairing at a face corner. An index rather than a
  // copy: copies cost normals × influences, far beyond the file's size.
  std::vector<int> normalSkinVertex;
  // The skin influences of vertex v; empty: not skinned.
  std::span<const SkinInfluence> influences(std::size_t v) const {
    if (v + 1 >= influenceStart_.size()) return {};
    const std::size_t at = influenceStart_[v];
    return {influencePool_.data() + at, influenceStart_[v + 1] - at};
  }
  // Replaces the influences of vertex v. Cheap for a vertex past every one
  // given so far (vertices in order); otherwise it rewrites the lists, so
  // many changes go through updateInfluences at once.
  void setInfluences(std::size_t v, std::span<const SkinInfluence> influences);
  void setInfluences(std::size_t v, std::initializer_list<SkinInfluence> influences) {
    setInfluences(v, std::span<const SkinInfluence>(influences.begin(), influences.size()));
  }
  // Many replacements in one pass; a later update of the same vertex wins.
  void updateInfluences(std::span<const InfluenceUpdate> updates);
  // Vertices below this have been given their influences in order.
  std::size_t influencedVertices() const {
    return influenceStart_.empty() ? 0 : influenceStart_.size() - 1;
  }
  void reserveInfluences(std::size_t vertices, std::size_t influences);
  std::size_t influenceCount() const { return influencePool_.size(); }
  std::size_t influenceCapacity() const { return influencePool_.capacity(); }

  // The influences normal i shares with its vertex; empty when it has none.
  std::span<const SkinInfluence> normalInfluences(std::size_t normal) const;

 private:
  // Faces flat: face f's corners are entries faceStart_[f] .. faceStart_[f+1]
  // of each corner list. One list per part instead of three small vectors
  // per face: a face then costs its indices and one offset, no allocation.
  LargeList<std::uint32_t> faceStart_{0};
  LargeList<int> faceVertex_, faceTexcoord_, faceNormal_;
  // Skin influences flat the same way: vertex v's are entries
  // influenceStart_[v] .. influenceStart_[v+1] of the pool; vertices past the
  // starts have none.
  LargeList<std::uint32_t> influenceStart_;
  LargeList<SkinInfluence> influencePool_;
};

struct Joint : SceneNode {
  Vec4 jointOrientation{0, 0, 0, 1};  // degrees
  Vec4 translation{0, 0, 0, 1};
  std::uint8_t changed = 0;
  std::array<double, 3> cachedRotation{0, 0, 0};  // degrees; used while paused
  std::array<double, 6> limits{0, 0, 0, 0, 0, 0};  // min x, max x, min y, max y, min z, max z (degrees)
};

struct Camera : SceneNode {
  double vfov = 54.0;  // degrees
};

enum LightType { kLightNone = 0, kLightAmbient = 1, kLightPoint = 2, kLightDirectional = 3 };

struct Light : SceneNode {
  Color4f color{0, 0, 0, 0};
  double intensity = 0.0;
  int type = kLightNone;
};

// Pixels embedded in the scene file: R in the low byte, then G, B, A.
struct TextureImage {
  std::string name;
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

struct MessageEntry {
  int marker = -1;
  int duration = 0;  // seconds
  int hour = -1;     // -1: any hour
  std::string text;  // code page 932
};

struct Action {
  int id = -1;  // slot number once filled
  std::string name;
  std::string cameraName;
  std::string soundFile;
  int soundSlot = 0;  // position in the sound list; above 99 is out of range
  int startFrame = 0, endFrame = 0;
  bool flag = false;
  std::vector<MessageEntry> messages;
  int playCount = 0;

  bool defined() const { return startFrame != 0 || endFrame != 0; }
};

struct SoundEntry {
  std::string fileName;
  int slot = 0;
};

inline constexpr int kActionSlots = 1000;
inline constexpr int kSoundSlots = 100;

// Application settings that a scene file may carry; absent when the file has
// no such line.
struct SceneSettings {
  std::optional<std::array<int, 2>> windowSize;       // width, height
  std::optional<std::array<int, 2>> startupMode;      // playState, topMost
  std::optional<std::array<int, 3>> randomAction;     // randomMax, randomTime, randomJitter
  std::optional<std::array<int, 2>> randomMessage;    // min, max seconds
  std::optional<std::string> feedUrl;                 // "rss:"
  std::uint8_t fullscreen = 0;
};

struct DefaultMessage {
  std::string text;
  int seconds = 0;
};

struct Scene {
  std::vector<Mesh> meshes;
  std::vector<Joint> joints;
  std::vector<Camera> cameras;
  std::vector<Light> lights;
  std::vector<TextureImage> textureImages;
  std::vector<std::string> textureNames;
  std::vector<SoundEntry> sounds;
  std::vector<Action> actions = std::vector<Action>(kActionSlots);

  std::array<double, 3> boundsMin{0, 0, 0};
  std::array<double, 3> boundsMax{0, 0, 0};
  std::array<double, 3> center{0, 0, 0};
  int activeCamera = -1;
  int vertexTotal = 0;
  int sceneStartFrame = 0;
  int sceneEndFrame = 0;
  DefaultMessage defaultMessage;
  SceneSettings settings;

  int findMesh(std::string_view name) const;
  int findJoint(std::string_view name) const;
  int findCameraByName(std::string_view name) const;
  int findAction(std::string_view name) const;  // the first slot with that name
  // The action in slot 0..999, or null outside the table.
  Action* action(int slot);
  const Action* action(int slot) const;
};

}  // namespace vashel
