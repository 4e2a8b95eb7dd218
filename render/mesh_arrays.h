// Mesh geometry sent as client-side arrays: one draw call per mesh and pass
// instead of a glBegin/glEnd pair per face, drawing the same pixels.
//
// Faces are unwelded into corners, because a corner's vertex, normal and
// texture coordinate have indices of their own. Which corners exist and how
// each face splits into triangles is worked out once per mesh shape; the
// values (working positions, normals, texture coordinates, vertex colours)
// are gathered every frame, so nothing drawn can go stale.
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
              texcoordCount = 0;
  bool built = false;

  // One entry per kept corner, faces in order.
  std::vector<std::uint32_t> cornerVertex;
  std::vector<std::int32_t> cornerNormal;    // own normal index, -1: none usable
  std::vector<std::int32_t> cornerTexcoord;  // own texture coordinate index, -1: none
  // The normal and texture coordinate each corner is drawn with, after the
  // carry from earlier corners of the mesh; -1: the current value when the
  // mesh is drawn.
  std::vector<std::int32_t> drawnNormal;
  std::vector<std::int32_t> drawnTexcoord;

  // Each face as the fan of triangles a polygon is drawn as, indices into
  // the corners.
  std::vector<std::uint32_t> triangles;
  // Each face's corner run, for the guide's line loops.
  std::vector<std::int32_t> faceFirst;
  std::vector<std::int32_t> faceCorners;

  // Gathered per frame: 3 doubles per corner (positions, outline positions,
  // normals), 2 per corner (texture coordinates), 4 floats (colours).
  std::vector<double> positions;
  std::vector<double> outline;
  std::vector<double> normals;
  std::vector<double> texcoords;
  std::vector<float> colors;
};

struct MeshArrayCache {
  std::vector<MeshArrays> meshes;
};

// The mesh's arrays with their corner lists up to date and this frame's
// working positions gathered.
MeshArrays& prepareMeshArrays(const Mesh& mesh, std::size_t index, MeshArrayCache& cache);

// Every face as a white line loop through the working positions.
void drawGuideArrays(const MeshArrays& arrays);

// The faces pushed out along their corners' own normals by edgeLevel, in
// the outline colour, without depth writes.
void drawOutlineArrays(const Mesh& mesh, MeshArrays& arrays);

// What the faces of one mesh are drawn with in the visible pass.
struct SurfaceLook {
  bool lit = false;       // lighting on: normals matter
  bool textured = false;  // a texture is bound: texture coordinates matter
  Color4f material{0, 0, 0, 1};  // the current colour the faces start from
  double alphaFactor = 1.0;      // scales the vertex colours' alpha
};

// The faces with their per-corner attributes (visible pass).
void drawSurfaceArrays(const Mesh& mesh, MeshArrays& arrays, const SurfaceLook& look);

// The faces with positions only, in the current colour (pick pass).
void drawPickArrays(const MeshArrays& arrays);

}  // namespace vashel
