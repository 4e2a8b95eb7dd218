// Blend-shape and skin deformation over baked, contiguous tables.
#include "render/deform.h"

#include <cstring>

namespace vashel {
namespace {

// Four doubles handled as one vector (x, y, z, w); element-wise arithmetic
// rounds exactly like the same scalar expression. Stored as plain doubles and
// moved with memcpy, so no alignment is assumed. The loops are compiled once
// per target (AVX2 and baseline), and the two disagree on how a 32-byte vector
// is passed by value, so the helpers are always inlined and take and give Lanes
// by reference only: clang refuses a by-value vector in the baseline clone
// even where the call is inlined.
using Lanes = double __attribute__((vector_size(32)));

[[gnu::always_inline]] inline void loadLanes(Lanes& value, const double* in) {
  std::memcpy(&value, in, sizeof value);
}

[[gnu::always_inline]] inline void storeLanes(double* out, const Lanes& value) {
  std::memcpy(out, &value, sizeof value);
}

// The inputs of one mesh's per-vertex loop.
struct SkinJob {
  const double* rest = nullptr;  // 4 per vertex
  const std::uint32_t* start = nullptr;
  const std::uint32_t* joint = nullptr;
  const double* weight = nullptr;
  const double* columns = nullptr;  // 16 per joint: the skin matrix by columns
  double* out = nullptr;            // 4 per vertex
  std::size_t count = 0;
  Lanes offset{0, 0, 0, 0};  // added to the rest position before skinning

  // Blend targets: rest arrays and this frame's weights.
  const double* const* targets = nullptr;
  const double* targetWeights = nullptr;
  std::size_t targetCount = 0;
};

// Sum over influences begin..end of weight times (skin matrix times p). Each
// lane is row r of the product, summed in the order s0*px + s1*py + s2*pz +
// s3*pw, then the weighted terms in influence order, into `sum`.
[[gnu::always_inline]] inline void skinPoint(const std::uint32_t* __restrict joint,
                                             const double* __restrict weight,
                                             const double* __restrict columns, std::uint32_t begin,
                                             std::uint32_t end, const Lanes& p, Lanes& sum) {
  const Lanes px = {p[0], p[0], p[0], p[0]};
  const Lanes py = {p[1], p[1], p[1], p[1]};
  const Lanes pz = {p[2], p[2], p[2], p[2]};
  const Lanes pw = {p[3], p[3], p[3], p[3]};
  sum = Lanes{0, 0, 0, 0};
  for (std::uint32_t i = begin; i < end; ++i) {
    const double* m = columns + 16 * static_cast<std::size_t>(joint[i]);
    Lanes c0, c1, c2, c3;
    loadLanes(c0, m);
    loadLanes(c1, m + 4);
    loadLanes(c2, m + 8);
    loadLanes(c3, m + 12);
    const Lanes q = c0 * px + c1 * py + c2 * pz + c3 * pw;
    const double w = weight[i];
    sum += Lanes{w, w, w, w} * q;
  }
}

// The loops copy the job into restrict-qualified locals: otherwise every store
// of a result could alias the job and force its fields to be read again.

// Meshes without blend targets: only skinned vertices are written, from the
// rest position plus the mesh's translation at frame 1.
__attribute__((target_clones("avx2", "default"))) void skinMesh(const SkinJob& job) {
  const double* __restrict rest = job.rest;
  const std::uint32_t* __restrict start = job.start;
  const std::uint32_t* __restrict joint = job.joint;
  const double* __restrict weight = job.weight;
  const double* __restrict columns = job.columns;
  double* __restrict out = job.out;
  const std::size_t count = job.count;
  const Lanes offset = job.offset;
  for (std::size_t v = 0; v < count; ++v) {
    const std::uint32_t begin = start[v], end = start[v + 1];
    if (begin == end) continue;
    Lanes p;
    loadLanes(p, rest + 4 * v);
    p += offset;
    Lanes skinned;
    skinPoint(joint, weight, columns, begin, end, p, skinned);
    storeLanes(out + 4 * v, skinned);
  }
}

// Meshes with blend targets: every vertex gets rest + sum of weight times
// (target rest - rest); skinned vertices are then skinned from that point.
__attribute__((target_clones("avx2", "default"))) void blendAndSkinMesh(const SkinJob& job) {
  const double* __restrict rest = job.rest;
  const std::uint32_t* __restrict start = job.start;
  const std::uint32_t* __restrict joint = job.joint;
  const double* __restrict weight = job.weight;
  const double* __restrict columns = job.columns;
  const double* const* __restrict targets = job.targets;
  const double* __restrict targetWeights = job.targetWeights;
  double* __restrict out = job.out;
  const std::size_t count = job.count;
  const std::size_t targetCount = job.targetCount;
  for (std::size_t v = 0; v < count; ++v) {
    Lanes base;
    loadLanes(base, rest + 4 * v);
    Lanes delta = {0, 0, 0, 0};
    for (std::size_t k = 0; k < targetCount; ++k) {
      const double w = targetWeights[k];
      Lanes target;
      loadLanes(target, targets[k] + 4 * v);
      delta += Lanes{w, w, w, w} * (target - base);
    }
    const Lanes blended = base + delta;
    const std::uint32_t begin = start[v], end = start[v + 1];
    if (begin == end) {
      storeLanes(out + 4 * v, blended);
      continue;
    }
    Lanes skinned;
    skinPoint(joint, weight, columns, begin, end, blended, skinned);
    storeLanes(out + 4 * v, skinned);
  }
}

}  // namespace

void bakeDeformation(Scene& scene, DeformTables& tables) {
  const std::size_t jointCount = scene.joints.size();
  tables.meshes.assign(scene.meshes.size(), MeshDeform{});
  tables.skinColumns.assign(16 * jointCount, 0.0);

  for (std::size_t m = 0; m < scene.meshes.size(); ++m) {
    Mesh& mesh = scene.meshes[m];
    MeshDeform& d = tables.meshes[m];
    const std::size_t n = mesh.vertices.size();

    mesh.vertexArray.resize(4 * n);
    d.rest.resize(4 * n);
    d.influenceStart.resize(n + 1);
    for (std::size_t v = 0; v < n; ++v) {
      const MeshVertex& vertex = mesh.vertices[v];
      std::memcpy(&d.rest[4 * v], vertex.base.data(), 4 * sizeof(double));
      std::memcpy(&mesh.vertexArray[4 * v], vertex.deformed.data(), 4 * sizeof(double));
      d.influenceStart[v] = static_cast<std::uint32_t>(d.influenceJoint.size());
      for (const SkinInfluence& influence : mesh.influences(v)) {
        if (influence.joint < 0 || static_cast<std::size_t>(influence.joint) >= jointCount)
          continue;
        d.influenceJoint.push_back(static_cast<std::uint32_t>(influence.joint));
        d.influenceWeight.push_back(influence.weight);
      }
    }
    d.influenceStart[n] = static_cast<std::uint32_t>(d.influenceJoint.size());
    d.skinned = !d.influenceJoint.empty();

    d.blendCount = mesh.blendTargets.size();
    for (std::size_t k = 0; k < mesh.blendTargets.size(); ++k) {
      const int target = mesh.blendTargets[k];
      if (target < 0 || static_cast<std::size_t>(target) >= scene.meshes.size()) continue;
      if (scene.meshes[target].vertices.size() < n) continue;
      if (k >= mesh.blendWeights.size()) continue;
      d.usableTargets.push_back(target);
      d.usableWeightCurves.push_back(static_cast<int>(k));
    }
    d.weightScratch.resize(d.usableTargets.size());
  }
  // Every rest array is in place now; point each mesh at its targets' arrays.
  for (MeshDeform& d : tables.meshes) {
    d.targetRest.clear();
    for (int target : d.usableTargets) d.targetRest.push_back(tables.meshes[target].rest.data());
  }
  tables.baked = true;
}

namespace {

bool tablesFit(const Scene& scene, const DeformTables& tables) {
  if (!tables.baked || tables.meshes.size() != scene.meshes.size() ||
      tables.skinColumns.size() != 16 * scene.joints.size()) {
    return false;
  }
  for (std::size_t m = 0; m < scene.meshes.size(); ++m) {
    const std::size_t n = scene.meshes[m].vertices.size();
    if (tables.meshes[m].rest.size() != 4 * n || scene.meshes[m].vertexArray.size() != 4 * n) {
      return false;
    }
  }
  return true;
}

}  // namespace

void ensureDeformationTables(Scene& scene, DeformTables& tables) {
  // Tables baked for another shape of scene would index out of their arrays.
  if (!tablesFit(scene, tables)) bakeDeformation(scene, tables);
}

void deformMeshes(Scene& scene, DeformTables& tables, double currentFrame) {
  ensureDeformationTables(scene, tables);

  // Skin matrices by columns, once per joint.
  for (std::size_t j = 0; j < scene.joints.size(); ++j) {
    const Mat4& s = scene.joints[j].skin;
    for (int c = 0; c < 4; ++c) {
      double* column = &tables.skinColumns[16 * j + 4 * c];
      for (int r = 0; r < 4; ++r) column[r] = s[4 * r + c];
    }
  }

  const int f = roundFrame(currentFrame);
  for (std::size_t m = 0; m < scene.meshes.size(); ++m) {
    Mesh& mesh = scene.meshes[m];
    MeshDeform& d = tables.meshes[m];
    SkinJob job;
    job.rest = d.rest.data();
    job.start = d.influenceStart.data();
    job.joint = d.influenceJoint.data();
    job.weight = d.influenceWeight.data();
    job.columns = tables.skinColumns.data();
    job.out = mesh.vertexArray.data();
    job.count = mesh.vertices.size();

    if (d.blendCount == 0) {
      if (!d.skinned) continue;
      // Adding the translation back undoes the loader's subtraction.
      job.offset =
          Lanes{evaluateCurve(mesh.curve(TranslateX), 1), evaluateCurve(mesh.curve(TranslateY), 1),
                evaluateCurve(mesh.curve(TranslateZ), 1), 0.0};
      skinMesh(job);
      continue;
    }

    for (std::size_t k = 0; k < d.usableTargets.size(); ++k) {
      d.weightScratch[k] = evaluateCurve(mesh.blendWeights[d.usableWeightCurves[k]], f);
    }
    job.targets = d.targetRest.data();
    job.targetWeights = d.weightScratch.data();
    job.targetCount = d.targetRest.size();
    blendAndSkinMesh(job);
  }
}

}  // namespace vashel
