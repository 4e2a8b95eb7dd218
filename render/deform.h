// Per-frame mesh deformation on the CPU: blend shapes, then skinning, in
// doubles. Tables are baked once after loading so that the per-vertex loop
// runs over contiguous arrays with the skin matrices computed once per joint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/model.h"

namespace vashel {

// What one mesh needs every frame, copied out of its records.
struct MeshDeform {
  std::vector<double> rest;  // base position per vertex: x, y, z, w

  // Skin influences of vertex v: entries influenceStart[v] .. influenceStart[v + 1].
  // Influences naming a joint outside the joint list are left out; a vertex
  // left with none is treated as not skinned.
  std::vector<std::uint32_t> influenceStart;
  std::vector<std::uint32_t> influenceJoint;
  std::vector<double> influenceWeight;
  bool skinned = false;  // at least one vertex has an influence

  // Blend shapes. blendCount is the mesh's target count (it decides whether
  // skinning starts from the blended position); only targets that exist,
  // have enough vertices and a weight curve are listed in usableTargets.
  std::size_t blendCount = 0;
  std::vector<int> usableTargets;         // mesh indices
  std::vector<int> usableWeightCurves;    // index into Mesh::blendWeights
  std::vector<const double*> targetRest;  // the targets' rest arrays
  std::vector<double> weightScratch;      // this frame's weights, sized once
};

struct DeformTables {
  bool baked = false;
  std::vector<MeshDeform> meshes;
  std::vector<double> skinColumns;  // 16 per joint: the skin matrix by columns
};

// Builds the tables from the scene and sizes every mesh's vertexArray (four
// doubles per vertex, the working positions that are drawn), filling it from
// MeshVertex::deformed. Run again after changing a scene's geometry.
void bakeDeformation(Scene& scene, DeformTables& tables);

// Bakes the tables unless they were baked for a scene of this shape (mesh,
// vertex and joint counts).
void ensureDeformationTables(Scene& scene, DeformTables& tables);

// Recomputes the working positions (Mesh::vertexArray) of every mesh for the
// current frame from the joints' skin matrices and the blend weights. Bakes
// the tables first when they are missing. Allocates nothing once baked.
void deformMeshes(Scene& scene, DeformTables& tables, double currentFrame);

// The working position of vertex v of a mesh (after bakeDeformation).
inline Vec4 workingPosition(const Mesh& mesh, std::size_t v) {
  return {mesh.vertexArray[4 * v], mesh.vertexArray[4 * v + 1], mesh.vertexArray[4 * v + 2],
          mesh.vertexArray[4 * v + 3]};
}

}  // namespace vashel
