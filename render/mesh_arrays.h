// Mesh geometry sent as client-side arrays: one draw call per mesh and pass
// instead of a glBegin/glEnd pair per face, drawing the same pixels.
//
// A corner's vertex, normal and texture coordinate have indices of their
// own, so GL gets one point per distinct combination of what a corner is
// drawn with; corners alike share a point, so that llvmpipe transforms and
// lights it once. Which corners exist, their points and how each face splits
// into triangles are worked out once per mesh shape; the values (working
// positions, normals, texture coordinates, vertex colours) are gathered
// every frame.
//
// What immediate mode did per corner is kept exactly:
// - a corner whose vertex has no working position is left out of its face;
// - a corner without a usable normal or texture coordinate takes the one
//   sent before it, across faces and meshes, as the GL current value did;
//   the current values are set afterwards as the per-face path leaves them;
// - a vertex without colour takes the colour before it, starting from the
//   material colour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/model.h"

namespace vashel {

struct MeshArrays {
  // What the corner lists were built from; a change rebuilds them.
  std::size_t vertexCount = 0, usableVertices = 0, faceCount = 0, normalCount = 0,
              texcoordCount = 0, colorCount = 0;
  bool built = false;

  // One entry per point.
  std::vector<std::uint32_t> pointVertex;
  std::vector<std::int32_t> pointNormal;  // the corners' own normal, -1: none usable
  // The normal, texture coordinate and coloured vertex the point is drawn
  // with, after the carry from earlier corners of the mesh; -1: the current
  // normal or texture coordinate when the mesh is drawn, the material colour.
  std::vector<std::int32_t> drawnNormal;
  std::vector<std::int32_t> drawnTexcoord;
  std::vector<std::int32_t> drawnColor;
  // Whether some point takes the current normal or texture coordinate.
  bool normalFromBefore = false, texcoordFromBefore = false;
  // What the mesh's last corner was drawn with: what it leaves current.
  std::int32_t lastNormal = -1, lastTexcoord = -1, lastColor = -1;

  // The point of each kept corner, faces in order; each face's run of
  // corners (first, count, and a pointer to its points), for the guide.
  std::vector<std::uint32_t> cornerPoint;
  std::vector<std::int32_t> faceFirst;
  std::vector<std::int32_t> faceCorners;
  std::vector<const void*> facePoints;
  // Each face as the fan of triangles a polygon is drawn as, indices into
  // the points.
  std::vector<std::uint32_t> triangles;

  // Gathered per frame: 3 floats per point (positions, outline positions,
  // normals), 2 (texture coordinates), 4 (colours). GL keeps every attribute
  // in single precision: a double sent per vertex was rounded to the same
  // float, and llvmpipe fetches floats faster than doubles.
  std::vector<float> positions;
  std::vector<float> outline;
  std::vector<float> normals;
  std::vector<float> texcoords;
  std::vector<float> colors;
};

// Rebuilt per mesh when its list sizes change; whoever replaces geometry
// with lists of the same sizes starts a new cache.
struct MeshArrayCache {
  std::vector<MeshArrays> meshes;
};

// The mesh's arrays with their corner lists up to date and this frame's
// working positions gathered.
MeshArrays& prepareMeshArrays(const Mesh& mesh, std::size_t index, MeshArrayCache& cache);

// Every face as a white line loop through the working positions.
void drawGuideArrays(const MeshArrays& arrays);

// The faces pushed out along their corners' own normals by edgeLevel, in
// the outline colour, without depth writes. The colour is opaque and the
// same at every corner, so the faces are drawn flat and unblended: the same
// bytes for less work per pixel.
void drawOutlineArrays(const Mesh& mesh, MeshArrays& arrays);

// What the faces of one mesh are drawn with in the visible pass.
struct SurfaceLook {
  bool lit = false;       // lighting on: normals matter
  bool textured = false;  // a texture is bound: texture coordinates matter
  bool textureOpaque = false;    // every texel of that texture has alpha 1
  Color4f material{0, 0, 0, 1};  // the current colour the faces start from
  double alphaFactor = 1.0;      // scales the vertex colours' alpha
};

// The faces with their per-corner attributes (visible pass). Where every
// fragment comes out with alpha 1 (material, vertex colours and texture),
// blending would give the fragment's own bytes, and is left off.
void drawSurfaceArrays(const Mesh& mesh, MeshArrays& arrays, const SurfaceLook& look);

// The faces with positions only, in the current colour (pick pass).
void drawPickArrays(const MeshArrays& arrays);

}  // namespace vashel
