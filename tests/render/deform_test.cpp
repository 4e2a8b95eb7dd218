// Blend-shape and skin deformation against hand-computed positions and
// against the formula written out plainly.
#include "render/deform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "anim/clock.h"
#include "anim/pose.h"

namespace vashel {
namespace {

constexpr double kJunk = std::numeric_limits<double>::quiet_NaN();

AnimCurve constantCurve(double value) {
  AnimCurve curve(1);
  curve.values[0] = value;
  return curve;
}

MeshVertex vertexAt(double x, double y, double z) {
  MeshVertex v;
  v.base = {x, y, z, 1};
  v.deformed = v.base;
  return v;
}

void addVertex(Mesh& mesh, double x, double y, double z,
               std::vector<SkinInfluence> influences = {}) {
  mesh.vertices.push_back(vertexAt(x, y, z));
  if (!influences.empty()) mesh.setInfluences(mesh.vertices.size() - 1, influences);
}

// One joint at the origin turned 90 degrees about z at frame 10 (bind frame 0).
Scene turningJointScene() {
  Scene scene;
  scene.joints.resize(1);
  AnimCurve turn(2);
  turn.times = {0, 10};
  turn.values = {0, 90};
  scene.joints[0].curves[RotateZ] = turn;
  return scene;
}

void pose(Scene& scene, double frame) {
  updatePose(scene.joints, PoseFrame{frame, kPlaying, scene.sceneStartFrame});
}

void expectWorking(const Mesh& mesh, std::size_t v, double x, double y, double z, double w = 1) {
  const Vec4 p = workingPosition(mesh, v);
  EXPECT_NEAR(p[0], x, 1e-9) << "vertex " << v;
  EXPECT_NEAR(p[1], y, 1e-9) << "vertex " << v;
  EXPECT_NEAR(p[2], z, 1e-9) << "vertex " << v;
  EXPECT_NEAR(p[3], w, 1e-9) << "vertex " << v;
}

TEST(Skinning, HandComputedVertices) {
  Scene scene = turningJointScene();
  scene.joints.resize(2);  // joint 1 stays at the origin, unturned
  Mesh mesh;
  mesh.curves[TranslateX] = constantCurve(5.0);  // the loader took it off the rest positions
  addVertex(mesh, 25, 0, 0, {{0, 1.0}});
  addVertex(mesh, 1, 2, 3);  // unskinned: left as loaded
  addVertex(mesh, 5, 0, 0, {{0, 1.0}, {1, 0.5}});
  // Influences naming no joint are left out; with none left, unskinned.
  addVertex(mesh, 5, 0, 0, {{0, 1.0}, {3, 1.0}, {-1, 1.0}});
  addVertex(mesh, 7, 8, 9, {{5, 1.0}});
  scene.meshes.push_back(mesh);
  DeformTables tables;
  pose(scene, 10);
  deformMeshes(scene, tables, 10);
  const Mesh& out = scene.meshes[0];
  expectWorking(out, 0, 0, 30, 0);  // (25 + 5, 0) turned 90 degrees
  expectWorking(out, 1, 1, 2, 3);
  // Not normalised: 1.0 * (0, 10, 0, 1) + 0.5 * (10, 0, 0, 1); w sums the weights.
  expectWorking(out, 2, 5, 10, 0, 1.5);
  expectWorking(out, 3, 0, 10, 0);
  expectWorking(out, 4, 7, 8, 9);

  pose(scene, 0);  // the bind pose gives the rest positions back
  deformMeshes(scene, tables, 0);
  expectWorking(out, 0, 30, 0, 0);
}

// A base square and two targets moving it up by 10 and right by 4.
Scene blendScene() {
  Scene scene;
  scene.joints.resize(1);  // deformation runs only when a joint exists
  Mesh base, up, right;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {1.0, 0.0}}) {
    addVertex(base, x, y, 0);
    addVertex(up, x, y + 10, 0);
    addVertex(right, x + 4, y, 0);
  }
  base.blendTargets = {1, 2};
  AnimCurve weightUp(2);
  weightUp.times = {0, 10};
  weightUp.values = {0, 1};
  base.blendWeights = {weightUp, constantCurve(0.25)};
  scene.meshes = {base, up, right};
  return scene;
}

TEST(BlendShapes, MoveTheBaseByTheWeightedTargetOffsets) {
  Scene scene = blendScene();
  DeformTables tables;
  pose(scene, 5);
  deformMeshes(scene, tables, 5);
  expectWorking(scene.meshes[0], 0, 1, 5, 0);
  expectWorking(scene.meshes[0], 1, 2, 5, 0);
  // Weights are read at the frame rounded half up.
  deformMeshes(scene, tables, 7.5);
  expectWorking(scene.meshes[0], 0, 1, 8, 0);
}

TEST(BlendShapes, SkinTheBlendedPositionWithoutTheMeshTranslation) {
  Scene scene = blendScene();
  AnimCurve turn(2);
  turn.times = {0, 10};
  turn.values = {0, 90};
  scene.joints[0].curves[RotateZ] = turn;
  scene.meshes[0].curves[TranslateX] = constantCurve(100.0);
  scene.meshes[0].setInfluences(1, {{0, 1.0}});
  DeformTables tables;
  pose(scene, 10);
  deformMeshes(scene, tables, 10);
  // Blended (1, 0) + (0, 10) + 0.25 * (4, 0) = (2, 10), turned: (-10, 2).
  expectWorking(scene.meshes[0], 1, -10, 2, 0);
  expectWorking(scene.meshes[0], 0, 1, 10, 0);  // unskinned: blended only
}

TEST(BlendShapes, UnusableTargetsAreSkipped) {
  Scene scene = blendScene();
  scene.meshes[2].vertices.pop_back();         // too few vertices
  scene.meshes[0].blendTargets.push_back(42);  // no such mesh
  scene.meshes[0].blendTargets.push_back(1);   // no weight curve for it
  DeformTables tables;
  pose(scene, 10);
  deformMeshes(scene, tables, 10);
  expectWorking(scene.meshes[0], 0, 0, 10, 0);
  expectWorking(scene.meshes[0], 1, 1, 10, 0);
}

TEST(Deformation, ChangedGeometryIsRebakedInsteadOfReadOutOfBounds) {
  Scene scene = turningJointScene();
  Mesh mesh;
  addVertex(mesh, 30, 0, 0, {{0, 1.0}});
  scene.meshes.push_back(mesh);
  DeformTables tables;
  pose(scene, 10);
  deformMeshes(scene, tables, 10);
  addVertex(scene.meshes[0], 0, 20, 0, {{0, 1.0}});
  deformMeshes(scene, tables, 10);
  expectWorking(scene.meshes[0], 1, -20, 0, 0);
}

TEST(Deformation, RunsWithoutReallocatingOnceBaked) {
  Scene scene = blendScene();
  scene.meshes[0].setInfluences(0, {{0, 1.0}});
  DeformTables tables;
  pose(scene, 3);
  deformMeshes(scene, tables, 3);
  const double* out = scene.meshes[0].vertexArray.data();
  const double* columns = tables.skinColumns.data();
  const double* weights = tables.meshes[0].weightScratch.data();
  deformMeshes(scene, tables, 4);
  EXPECT_EQ(scene.meshes[0].vertexArray.data(), out);
  EXPECT_EQ(tables.skinColumns.data(), columns);
  EXPECT_EQ(tables.meshes[0].weightScratch.data(), weights);
}

// The deformation written out as plainly as it reads, in the same order of
// operations; the baked loop must agree to the last bit.
Vec4 plainDeformation(const Scene& scene, const Mesh& mesh, std::size_t j, int f) {
  const std::size_t n = mesh.blendTargets.size();
  Vec4 working = mesh.vertices[j].deformed;
  if (n > 0) {
    Vec4 delta{0, 0, 0, 0};
    for (std::size_t k = 0; k < n; ++k) {
      const double w = evaluateCurve(mesh.blendWeights[k], f);
      const Vec4& target = scene.meshes[mesh.blendTargets[k]].vertices[j].base;
      for (int c = 0; c < 4; ++c) delta[c] += w * (target[c] - mesh.vertices[j].base[c]);
    }
    for (int c = 0; c < 4; ++c) working[c] = mesh.vertices[j].base[c] + delta[c];
  }
  if (mesh.influences(j).empty()) return working;
  Vec4 p = working;
  if (n == 0) {
    const Vec4& b = mesh.vertices[j].base;
    p = {b[0] + evaluateCurve(mesh.curve(TranslateX), 1),
         b[1] + evaluateCurve(mesh.curve(TranslateY), 1),
         b[2] + evaluateCurve(mesh.curve(TranslateZ), 1), b[3] + 0.0};
  }
  Vec4 sum{0, 0, 0, 0};
  for (const SkinInfluence& influence : mesh.influences(j)) {
    const Mat4& s = scene.joints[influence.joint].skin;
    for (int r = 0; r < 4; ++r) {
      const double q =
          s[4 * r] * p[0] + s[4 * r + 1] * p[1] + s[4 * r + 2] * p[2] + s[4 * r + 3] * p[3];
      sum[r] += influence.weight * q;
    }
  }
  return sum;
}

TEST(Deformation, AgreesBitForBitWithThePlainFormula) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
  std::uniform_real_distribution<double> angle(-180.0, 180.0);
  std::uniform_real_distribution<double> weight(-0.5, 1.5);
  Scene scene;
  scene.sceneStartFrame = 0;
  for (int j = 0; j < 12; ++j) {
    Joint joint;
    joint.parent = j - 1;
    joint.jointOrientation = {angle(random), angle(random), angle(random), 1};
    joint.curves[TranslateX] = constantCurve(coordinate(random));
    AnimCurve turn(2);
    turn.times = {0, 20};
    turn.values = {angle(random), angle(random)};
    joint.curves[RotateY] = turn;
    scene.joints.push_back(joint);
  }
  for (int m = 0; m < 4; ++m) {
    Mesh mesh;
    if (m == 1) mesh.curves[TranslateY] = constantCurve(coordinate(random));
    for (int v = 0; v < 300; ++v) {
      MeshVertex vertex = vertexAt(coordinate(random), coordinate(random), coordinate(random));
      if (v % 5 == 4) vertex.base[3] = 0.75;  // w other than 1 takes the general path
      vertex.deformed = {coordinate(random), coordinate(random), coordinate(random), 1};
      const int count = v % 7;  // 0..6 influences, 4 among them
      std::vector<SkinInfluence> influences;
      for (int k = 0; k < count; ++k) {
        influences.push_back({static_cast<int>(random() % 12), weight(random)});
      }
      mesh.vertices.push_back(vertex);
      mesh.setInfluences(mesh.vertices.size() - 1, influences);
    }
    scene.meshes.push_back(mesh);
  }
  scene.meshes[2].blendTargets = {0, 3};
  scene.meshes[2].blendWeights = {constantCurve(0.3), constantCurve(-0.7)};

  DeformTables tables;
  bakeDeformation(scene, tables);
  for (Mesh& mesh : scene.meshes)
    std::fill(mesh.vertexArray.begin(), mesh.vertexArray.end(), kJunk);
  // Untouched entries keep the junk; the plain formula says what they hold.
  for (Mesh& mesh : scene.meshes) {
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v)
      mesh.vertices[v].deformed = {kJunk, kJunk, kJunk, kJunk};
  }
  pose(scene, 13);
  deformMeshes(scene, tables, 13);
  for (std::size_t m = 0; m < scene.meshes.size(); ++m) {
    const Mesh& mesh = scene.meshes[m];
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
      const Vec4 expected = plainDeformation(scene, mesh, v, 13);
      const Vec4 actual = workingPosition(mesh, v);
      for (int c = 0; c < 4; ++c) {
        if (std::isnan(expected[c])) {
          EXPECT_TRUE(std::isnan(actual[c])) << "mesh " << m << " vertex " << v;
        } else {
          EXPECT_EQ(actual[c], expected[c])
              << "mesh " << m << " vertex " << v << " component " << c;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vashel
