// Grids, smooth normals and skin-weight tidying for the sample character.
#include "tools/make_sample/geometry.h"

#include <algorithm>
#include <map>

namespace vashel::sample {

int MeshData::addVertex(Vec3 p, double u, double v, Weights w) {
  positions.push_back(p);
  uvs.push_back({u, v});
  weights.push_back(std::move(w));
  return vertexCount() - 1;
}

Vec3 faceNormal(const MeshData& mesh, const std::vector<int>& face) {
  Vec3 n;
  for (size_t i = 0; i < face.size(); ++i) {
    const Vec3 a = mesh.positions[face[i]];
    const Vec3 b = mesh.positions[face[(i + 1) % face.size()]];
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

namespace {

bool samePlace(Vec3 a, Vec3 b) { return length(a - b) < 1e-9; }

}  // namespace

int addGrid(MeshData& mesh, int columns, int rows,
            const std::function<GridPoint(double s, double t)>& point, GridOptions options) {
  const int first = mesh.vertexCount();
  std::vector<Vec3> outward;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= columns; ++i) {
      GridPoint p = point(static_cast<double>(i) / columns, static_cast<double>(j) / rows);
      mesh.addVertex(p.position, p.u, p.v, std::move(p.weights));
      outward.push_back(p.outward);
    }
  }
  const auto at = [&](int i, int j) { return first + j * (columns + 1) + i; };
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      std::vector<int> face{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      if (options.dropDegenerate) {
        std::vector<int> kept;
        for (size_t k = 0; k < face.size(); ++k) {
          const int next = face[(k + 1) % face.size()];
          if (!samePlace(mesh.positions[face[k]], mesh.positions[next])) kept.push_back(face[k]);
        }
        if (kept.size() < 3) continue;
        face = kept;
      }
      Vec3 hint;
      for (int corner : {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}) {
        hint = hint + outward[corner - first];
      }
      if (dot(faceNormal(mesh, face), hint) < 0.0) std::reverse(face.begin(), face.end());
      mesh.faces.push_back(std::move(face));
    }
  }
  return first;
}

void computeSmoothNormals(MeshData& mesh, Vec3 fallback) {
  std::vector<Vec3> sums(mesh.positions.size());
  for (const auto& face : mesh.faces) {
    const Vec3 n = faceNormal(mesh, face);
    for (int v : face) sums[v] = sums[v] + n;
  }
  // Vertices at the same place share one normal.
  using Key = std::array<long long, 3>;
  const auto keyOf = [](Vec3 p) {
    return Key{std::llround(p.x * 1e4), std::llround(p.y * 1e4), std::llround(p.z * 1e4)};
  };
  std::map<Key, Vec3> shared;
  for (size_t v = 0; v < mesh.positions.size(); ++v) {
    Vec3& sum = shared[keyOf(mesh.positions[v])];
    sum = sum + sums[v];
  }
  mesh.normals.resize(mesh.positions.size());
  for (size_t v = 0; v < mesh.positions.size(); ++v) {
    const Vec3 n = normalize(shared[keyOf(mesh.positions[v])]);
    mesh.normals[v] = length(n) > 0.5 ? n : fallback;
  }
}

Weights tidyWeights(Weights weights) {
  Weights merged;
  for (const Weight& w : weights) {
    auto it = std::find_if(merged.begin(), merged.end(),
                           [&](const Weight& m) { return m.joint == w.joint; });
    if (it == merged.end()) {
      merged.push_back(w);
    } else {
      it->weight += w.weight;
    }
  }
  std::sort(merged.begin(), merged.end(), [](const Weight& a, const Weight& b) {
    return a.weight != b.weight ? a.weight > b.weight : a.joint < b.joint;
  });
  if (merged.size() > 4) merged.resize(4);
  double sum = 0.0;
  for (const Weight& w : merged) sum += w.weight;
  Weights kept;
  for (const Weight& w : merged) {
    if (w.weight / sum >= 0.02) kept.push_back(w);
  }
  sum = 0.0;
  for (const Weight& w : kept) sum += w.weight;
  long long total = 0;
  for (Weight& w : kept) {
    const long long tenThousandths = std::llround(w.weight / sum * 10000.0);
    w.weight = static_cast<double>(tenThousandths);
    total += tenThousandths;
  }
  kept.front().weight += static_cast<double>(10000 - total);  // the largest absorbs rounding
  for (Weight& w : kept) w.weight /= 10000.0;
  std::sort(kept.begin(), kept.end(), [](const Weight& a, const Weight& b) { return a.joint < b.joint; });
  return kept;
}

Vec3 splinePoint(const std::vector<Vec3>& points, double t) {
  const int segments = static_cast<int>(points.size()) - 1;
  if (segments < 1) return points.empty() ? Vec3{} : points.front();
  const double x = clamp01(t) * segments;
  int i = std::min(static_cast<int>(x), segments - 1);
  const double f = x - i;
  const Vec3 p1 = points[i];
  const Vec3 p2 = points[i + 1];
  const Vec3 p0 = i > 0 ? points[i - 1] : p1 + (p1 - p2);
  const Vec3 p3 = i + 2 <= segments ? points[i + 2] : p2 + (p2 - p1);
  const double f2 = f * f, f3 = f2 * f;
  return 0.5 * ((2.0 * p1) + (p2 - p0) * f + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * f2 +
                (3.0 * p1 - p0 - 3.0 * p2 + p3) * f3);
}

}  // namespace vashel::sample
