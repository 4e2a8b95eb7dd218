// Small geometry kit for building the sample character: vectors, meshes with
// per-vertex normals, texture coordinates, colours and skin weights, and
// parametric grids that orient their faces outward.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace vashel::sample {

inline constexpr double kPi = 3.14159265358979323846;

inline double radians(double degrees) { return degrees * kPi / 180.0; }

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return a * s; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3 a) { return std::sqrt(dot(a, a)); }
// A zero vector stays zero.
inline Vec3 normalize(Vec3 a) {
  const double l = length(a);
  return l > 1e-12 ? a * (1.0 / l) : Vec3{};
}
inline Vec3 lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

inline double clamp01(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }
inline double smoothstep(double e0, double e1, double x) {
  const double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3.0 - 2.0 * t);
}

struct Weight {
  int joint = 0;
  double weight = 0.0;
};

using Weights = std::vector<Weight>;

struct Color {
  double r = 0.0, g = 0.0, b = 0.0, a = 1.0;
};

// One vertex of a grid: everything but its index.
struct GridPoint {
  Vec3 position;
  double u = 0.0, v = 0.0;
  Weights weights;
  Vec3 outward;  // rough outward direction; orients the faces around it
};

struct MeshData {
  std::string name;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;  // one per vertex once finished
  std::vector<std::array<double, 2>> uvs;
  std::vector<Weights> weights;  // empty entries: not skinned
  std::vector<Color> colors;     // empty, or one per vertex
  std::vector<std::vector<int>> faces;  // vertex indices, counter-clockwise from outside
  bool textured = false;

  int vertexCount() const { return static_cast<int>(positions.size()); }
  int addVertex(Vec3 p, double u, double v, Weights w);
};

struct GridOptions {
  // Repeated corners (the poles of a sphere) are dropped, so that no face has
  // two corners at the same place; faces left with fewer than three corners
  // go. Blend bases keep their collapsed faces: they open up when blended.
  bool dropDegenerate = true;
};

// Adds a (columns + 1) x (rows + 1) grid of points point(s, t) with s, t in
// [0, 1] and the columns x rows quads between them. Each quad is wound so that
// its normal agrees with the outward hint of its first corner's neighbourhood.
// Returns the index of the grid's first vertex.
int addGrid(MeshData& mesh, int columns, int rows,
            const std::function<GridPoint(double s, double t)>& point,
            GridOptions options = {});

// Smooth normals: area-weighted face normals summed per vertex, then shared
// between vertices at the same place (seams and poles), so that the mesh and
// its outline shell have no cracks. Vertices that receive no face normal get
// `fallback`.
void computeSmoothNormals(MeshData& mesh, Vec3 fallback = {0.0, 1.0, 0.0});

// The Newell normal of a polygon (unnormalised; twice its area for a planar one).
Vec3 faceNormal(const MeshData& mesh, const std::vector<int>& face);

// Keeps at most four influences, drops tiny ones, normalises to a sum of 1
// and rounds each weight to four decimals with the sum kept exact.
Weights tidyWeights(Weights weights);

// A cubic Catmull-Rom spline through the points, sampled at t in [0, 1]
// (uniform in the number of segments).
Vec3 splinePoint(const std::vector<Vec3>& points, double t);

}  // namespace vashel::sample
