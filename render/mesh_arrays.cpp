// Corner lists, per-frame gathering and the array draws of every pass.
#include "render/mesh_arrays.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <unordered_map>

namespace vashel {
namespace {

static_assert(std::is_same_v<GLint, std::int32_t> && std::is_same_v<GLsizei, std::int32_t>,
              "face runs are handed to GL as they are");

bool inRange(int index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) < size;
}

int cornerIndex(std::span<const int> list, std::size_t corner) {
  return corner < list.size() ? list[corner] : -1;
}

// Working positions exist for every vertex once the deformation tables are
// baked, and for none before.
std::size_t usableVertexCount(const Mesh& mesh) {
  return mesh.vertexArray.size() >= 4 * mesh.vertices.size() ? mesh.vertices.size() : 0;
}

bool shapeMatches(const Mesh& mesh, const MeshArrays& a) {
  return a.built && a.vertexCount == mesh.vertices.size() &&
         a.usableVertices == usableVertexCount(mesh) && a.faceCount == mesh.faceCount() &&
         a.normalCount == mesh.normals.size() && a.texcoordCount == mesh.texcoords.size() &&
         a.colorCount == mesh.colors.size();
}

// What a corner is drawn with; corners with equal keys share a point.
struct PointKey {
  std::int32_t vertex, ownNormal, normal, texcoord, color;
  bool operator==(const PointKey&) const = default;
};

struct PointKeyHash {
  std::size_t operator()(const PointKey& k) const {
    std::uint64_t h = 0x9e3779b97f4a7c15ull;
    for (const std::int32_t part : {k.vertex, k.ownNormal, k.normal, k.texcoord, k.color}) {
      h = (h ^ static_cast<std::uint32_t>(part)) * 0x100000001b3ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

void buildPoints(const Mesh& mesh, MeshArrays& a) {
  a.vertexCount = mesh.vertices.size();
  a.usableVertices = usableVertexCount(mesh);
  a.faceCount = mesh.faceCount();
  a.normalCount = mesh.normals.size();
  a.texcoordCount = mesh.texcoords.size();
  a.colorCount = mesh.colors.size();
  for (auto* list : {&a.pointNormal, &a.drawnNormal, &a.drawnTexcoord, &a.drawnColor,
                     &a.faceFirst, &a.faceCorners}) {
    list->clear();
  }
  a.pointVertex.clear();
  a.cornerPoint.clear();
  a.triangles.clear();
  a.facePoints.clear();

  std::unordered_map<PointKey, std::uint32_t, PointKeyHash> points;
  PointKey carried{-1, -1, -1, -1, -1};
  for (std::size_t f = 0; f < a.faceCount; ++f) {
    const FaceView face = mesh.face(f);
    const auto first = static_cast<std::uint32_t>(a.cornerPoint.size());
    for (std::size_t corner = 0; corner < face.vertex.size(); ++corner) {
      const int v = face.vertex[corner];
      if (!inRange(v, a.usableVertices)) continue;
      int n = cornerIndex(face.normal, corner);
      if (!inRange(n, a.normalCount)) n = -1;
      int t = cornerIndex(face.texcoord, corner);
      if (!inRange(t, a.texcoordCount)) t = -1;
      carried.vertex = v;
      carried.ownNormal = n;
      if (n >= 0) carried.normal = n;
      if (t >= 0) carried.texcoord = t;
      if (inRange(v, a.colorCount) && mesh.colors[static_cast<std::size_t>(v)].r >= 0.0) {
        carried.color = v;
      }
      const auto [at, added] =
          points.try_emplace(carried, static_cast<std::uint32_t>(a.pointVertex.size()));
      if (added) {
        a.pointVertex.push_back(static_cast<std::uint32_t>(v));
        a.pointNormal.push_back(n);
        a.drawnNormal.push_back(carried.normal);
        a.drawnTexcoord.push_back(carried.texcoord);
        a.drawnColor.push_back(carried.color);
      }
      a.cornerPoint.push_back(at->second);
    }
    const auto count = static_cast<std::uint32_t>(a.cornerPoint.size()) - first;
    a.faceFirst.push_back(static_cast<std::int32_t>(first));
    a.faceCorners.push_back(static_cast<std::int32_t>(count));
    // The order llvmpipe splits a polygon in: corners i+1, i+2, then the
    // first (its provoking vertex comes last).
    for (std::uint32_t i = 0; i + 2 < count; ++i) {
      a.triangles.push_back(a.cornerPoint[first + i + 1]);
      a.triangles.push_back(a.cornerPoint[first + i + 2]);
      a.triangles.push_back(a.cornerPoint[first]);
    }
  }
  for (const std::int32_t first : a.faceFirst) {
    a.facePoints.push_back(a.cornerPoint.data() + first);
  }
  a.normalFromBefore = std::find(a.drawnNormal.begin(), a.drawnNormal.end(), -1) != a.drawnNormal.end();
  a.texcoordFromBefore =
      std::find(a.drawnTexcoord.begin(), a.drawnTexcoord.end(), -1) != a.drawnTexcoord.end();
  a.lastNormal = carried.normal;
  a.lastTexcoord = carried.texcoord;
  a.lastColor = carried.color;
  a.positions.resize(3 * a.pointVertex.size());
  a.outline.clear();
  a.normals.clear();
  a.texcoords.clear();
  a.colors.clear();
  a.built = true;
}

void drawTriangles(const MeshArrays& a) {
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(a.triangles.size()), GL_UNSIGNED_INT,
                 a.triangles.data());
}

}  // namespace

MeshArrays& prepareMeshArrays(const Mesh& mesh, std::size_t index, MeshArrayCache& cache) {
  if (index >= cache.meshes.size()) cache.meshes.resize(index + 1);
  MeshArrays& a = cache.meshes[index];
  if (!shapeMatches(mesh, a)) buildPoints(mesh, a);
  float* out = a.positions.data();
  for (const std::uint32_t v : a.pointVertex) {
    const double* p = &mesh.vertexArray[4 * static_cast<std::size_t>(v)];
    out[0] = static_cast<float>(p[0]);
    out[1] = static_cast<float>(p[1]);
    out[2] = static_cast<float>(p[2]);
    out += 3;
  }
  return a;
}

void drawGuideArrays(const MeshArrays& a) {
  glColor3f(1.0f, 1.0f, 1.0f);
  if (a.cornerPoint.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, a.positions.data());
  glMultiDrawElements(GL_LINE_LOOP, a.faceCorners.data(), GL_UNSIGNED_INT, a.facePoints.data(),
                      static_cast<GLsizei>(a.facePoints.size()));
  glDisableClientState(GL_VERTEX_ARRAY);
}

void drawOutlineArrays(const Mesh& mesh, MeshArrays& a) {
  glDepthMask(GL_FALSE);
  glColor3f(0.2f, 0.2f, 0.2f);
  const std::size_t points = a.pointVertex.size();
  if (!a.triangles.empty()) {
    // Same arithmetic as one corner at a time: position + edgeLevel x normal
    // in doubles, the position alone where the corner has no normal.
    a.outline.resize(3 * points);
    const double e = mesh.edgeLevel;
    for (std::size_t c = 0; c < points; ++c) {
      const double* p = &mesh.vertexArray[4 * static_cast<std::size_t>(a.pointVertex[c])];
      float* out = &a.outline[3 * c];
      const int n = a.pointNormal[c];
      if (n >= 0) {
        const Vec4& normal = mesh.normals[static_cast<std::size_t>(n)].deformed;
        out[0] = static_cast<float>(p[0] + e * normal[0]);
        out[1] = static_cast<float>(p[1] + e * normal[1]);
        out[2] = static_cast<float>(p[2] + e * normal[2]);
      } else {
        out[0] = a.positions[3 * c];
        out[1] = a.positions[3 * c + 1];
        out[2] = a.positions[3 * c + 2];
      }
    }
    // Alpha 1 blends to the source bytes, and a colour equal at every corner
    // interpolates to itself: neither setting changes a pixel here.
    glDisable(GL_BLEND);
    glShadeModel(GL_FLAT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, a.outline.data());
    drawTriangles(a);
    glDisableClientState(GL_VERTEX_ARRAY);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
  }
  glDepthMask(GL_TRUE);
}

void drawSurfaceArrays(const Mesh& mesh, MeshArrays& a, const SurfaceLook& look) {
  const std::size_t points = a.pointVertex.size();
  // Colours matter only unlit (no colour material), normals only lit, texture
  // coordinates only with a texture; the rest need only their end values.
  const bool vertexColors = !mesh.colors.empty();
  const bool sendColors = vertexColors && !look.lit && !a.triangles.empty();
  const bool sendNormals = look.lit && !a.triangles.empty();
  const bool sendTexcoords = look.textured && !a.triangles.empty();

  // The current normal and texture coordinate, for corners before the
  // mesh's first own one.
  GLfloat currentNormal[4] = {0.0f, 0.0f, 1.0f, 0.0f};
  GLfloat currentTexcoord[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const bool normalFromBefore = sendNormals && a.normalFromBefore;
  const bool texcoordFromBefore = sendTexcoords && a.texcoordFromBefore;
  if (normalFromBefore) glGetFloatv(GL_CURRENT_NORMAL, currentNormal);
  if (texcoordFromBefore) glGetFloatv(GL_CURRENT_TEXTURE_COORDS, currentTexcoord);

  if (sendNormals) {
    a.normals.resize(3 * points);
    for (std::size_t c = 0; c < points; ++c) {
      const int n = a.drawnNormal[c];
      float* out = &a.normals[3 * c];
      if (n >= 0) {
        const Vec4& normal = mesh.normals[static_cast<std::size_t>(n)].deformed;
        out[0] = static_cast<float>(normal[0]);
        out[1] = static_cast<float>(normal[1]);
        out[2] = static_cast<float>(normal[2]);
      } else {
        out[0] = currentNormal[0];
        out[1] = currentNormal[1];
        out[2] = currentNormal[2];
      }
    }
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, a.normals.data());
  }
  if (sendTexcoords) {
    a.texcoords.resize(2 * points);
    for (std::size_t c = 0; c < points; ++c) {
      const int t = a.drawnTexcoord[c];
      float* out = &a.texcoords[2 * c];
      if (t >= 0) {
        out[0] = static_cast<float>(mesh.texcoords[static_cast<std::size_t>(t)].u);
        out[1] = static_cast<float>(mesh.texcoords[static_cast<std::size_t>(t)].v);
      } else {
        out[0] = currentTexcoord[0];
        out[1] = currentTexcoord[1];
      }
    }
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, a.texcoords.data());
  }
  // A vertex colour as glColor4d gave it; -1: the material colour.
  const auto colorOf = [&](int v) -> std::array<float, 4> {
    if (v < 0) return look.material;
    const VertexColor& color = mesh.colors[static_cast<std::size_t>(v)];
    return {static_cast<float>(color.r), static_cast<float>(color.g), static_cast<float>(color.b),
            static_cast<float>(look.alphaFactor * color.a)};
  };
  // The lowest alpha a fragment starts from: lighting takes the material's,
  // unlit faces their colours'. GL clamps it to 1, and NaN fails the test.
  float lowestAlpha = look.material[3];
  if (sendColors) {
    a.colors.resize(4 * points);
    for (std::size_t c = 0; c < points; ++c) {
      const auto color = colorOf(a.drawnColor[c]);
      lowestAlpha = std::min(lowestAlpha, color[3]);
      if (std::isnan(color[3])) lowestAlpha = color[3];
      std::copy(color.begin(), color.end(), &a.colors[4 * c]);
    }
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, 0, a.colors.data());
  }
  const bool opaque = lowestAlpha >= 1.0f && (!look.textured || look.textureOpaque);

  if (!a.triangles.empty()) {
    if (opaque) glDisable(GL_BLEND);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, a.positions.data());
    drawTriangles(a);
    glEnable(GL_BLEND);
  }
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);

  // The current values as the per-face path leaves them: later corners
  // without a normal or texture coordinate of their own take these. An
  // enabled array leaves its current value undefined, so a mesh without any
  // puts back the one it started from.
  if (a.lastNormal >= 0) {
    glNormal3dv(mesh.normals[static_cast<std::size_t>(a.lastNormal)].deformed.data());
  } else if (normalFromBefore) {
    glNormal3fv(currentNormal);
  }
  if (a.lastTexcoord >= 0) {
    glTexCoord2d(mesh.texcoords[static_cast<std::size_t>(a.lastTexcoord)].u,
                 mesh.texcoords[static_cast<std::size_t>(a.lastTexcoord)].v);
  } else if (texcoordFromBefore) {
    glTexCoord4fv(currentTexcoord);
  }
  if (vertexColors) glColor4fv(colorOf(a.lastColor).data());
}

void drawPickArrays(const MeshArrays& a) {
  if (a.triangles.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, a.positions.data());
  drawTriangles(a);
  glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace vashel
