// What the generator writes into data.glj: joints with their curves, meshes
// with materials and skins, blend shapes, cameras, lights, the embedded
// texture and the action table, before any of it becomes text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/make_sample/geometry.h"

namespace vashel::sample {

// One key: time in frames, value in the curve's own unit (degrees for
// rotations; the writer turns them into the file's radians), tangent angle
// in degrees in the (frame, value) plane.
struct Key {
  double time = 0.0;
  double value = 0.0;
  double tangent = 0.0;
};

struct Curve {
  std::vector<Key> keys;
};

// Node curve slots, in the order translate X, Y, Z, rotate X, Y, Z.
using NodeCurves = std::array<Curve, 6>;

struct JointSpec {
  std::string name;
  int parent = -1;
  Vec3 world;                           // bind-pose position
  std::array<double, 6> limits{};       // min x, max x, min y, max y, min z, max z (degrees)
  NodeCurves curves;
};

struct Material {
  Color color{0.5, 0.5, 0.5, 1.0};
  Color ambient{0.5, 0.5, 0.5, 1.0};
  Color specular{0.0, 0.0, 0.0, 0.0};
  Color emission{0.0, 0.0, 0.0, 1.0};
  double cosinePower = 0.0;
  std::string texture;  // empty: untextured
  double edgeLevel = 0.0;
};

struct MeshSpec {
  MeshData data;
  Material material;
  std::string picking;  // non-empty: an invisible click target
  bool hidden = false;  // blend targets: never drawn (visibility 0)
};

struct BlendSpec {
  std::string name;
  std::string base;
  std::string target;
  Curve weight;
};

struct CameraSpec {
  std::string name;
  double vfov = 54.0;
  NodeCurves curves;
};

struct LightSpec {
  std::string type;  // "ambient" or "directional"
  std::string name;
  Color color;
  double intensity = 1.0;
  NodeCurves curves;
};

struct ActionSpec {
  int slot = 0;
  std::string name;
  int start = 0, end = 0;
  std::string camera;
  std::string sound;  // empty: silent
};

struct EmbeddedTexture {
  std::string name;
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // R in the low byte, then G, B, A; first row is v = 0
};

struct SampleScene {
  int startFrame = 1, endFrame = 1;
  int windowWidth = 240, windowHeight = 320;
  int playState = 1, topMost = 1;
  std::array<int, 3> randomAction{0, 10, 5};
  std::array<int, 2> randomMessage{60, 180};
  std::vector<EmbeddedTexture> textures;
  std::vector<JointSpec> joints;
  std::vector<MeshSpec> meshes;
  std::vector<BlendSpec> blends;
  std::vector<CameraSpec> cameras;
  std::vector<LightSpec> lights;
  std::vector<ActionSpec> actions;
};

}  // namespace vashel::sample
