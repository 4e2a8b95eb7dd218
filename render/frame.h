// One picture of the character: frame advance, camera, the hidden pick pass,
// pose, deformation, drawing and presentation.
//
// What the renderer does, and what it leaves out:
// - Fixed-function OpenGL, double precision vertices, no buffers or shaders.
//   Geometry goes as client-side arrays, one draw per mesh and pass
//   (render/mesh_arrays.h); the per-face immediate path is kept as the
//   reference they are checked against (RenderState::geometry).
// - Deformation on the CPU (render/deform.h): blend shapes, then skinning of
//   positions. Normals are not skinned: lighting uses the file's normals.
// - setupRenderState sets every GL state a frame relies on, at the start of
//   every frame; nothing is restored afterwards, because the context is the
//   renderer's own. State that varies per mesh (culling, lighting,
//   texturing, filters, depth writes) is set by the mesh that needs it.
// - The frame is never swapped: it is read back, bottom-up BGRA with colour
//   already scaled by alpha, and handed to a FramePresenter.
// - Picking draws the pickable meshes in flat colours into the same target
//   and reads one pixel; at most kPickableMeshes meshes have a colour.
// - Lights beyond GL_MAX_LIGHTS and textures beyond kTextureNameCount are
//   ignored. One context, current on the calling thread; not thread-safe.
#pragma once

#include <array>
#include <cstdint>

#include "anim/clock.h"
#include "render/present.h"
#include "render/render_state.h"
#include "render/view.h"
#include "scene/model.h"

namespace vashel {

class GlContext;
struct Player;

// What a frame reaches outside the renderer and the player.
struct FrameServices {
  GlContext* context = nullptr;         // made current at the start of the frame
  FramePresenter* presenter = nullptr;  // receives presented frames; null: read back only
  DesktopPointer* pointer = nullptr;    // for follow-mouse; null: the view does not follow
};

// The pick colour of mesh `index` (red, green, blue bytes): 4 per mesh
// counted in base 64 from (4, 0, 0) for mesh 0. Meshes from kPickableMeshes
// on have no colour of their own.
std::array<int, 3> pickColor(int index);
inline constexpr int kPickableMeshes = 64 * 64 * 64 - 2;
// The mesh index a pick colour stands for; -1 for the background.
int decodePickColor(int red, int green, int blue);

// Draws every mesh in list order with its states, colours and textures; in
// the pick pass each pickable mesh in its pick colour instead. Records the
// frame statistic (nowMs) on the clock.
void drawMeshes(RenderState& state, Scene& scene, PlayerClock& clock, std::int32_t nowMs,
                bool pickPass);

// The mesh under state.mousePos in the pick pass just drawn, or -1 for the
// background, an unpickable mesh or a point outside the render target.
int readPickIndex(const RenderState& state, const Scene& scene);

// One scene pass: lights (visible pass), the view rotation about the pivot,
// with updatePose the pose of every joint, the joint display (visible pass)
// and with updatePose the deformation, then the meshes. Returns the picked
// mesh in a pick pass with a mouse button, else -1.
int drawScene(RenderState& state, Scene& scene, PlayerClock& clock, std::int32_t nowMs,
              bool pickPass, bool updatePose);

// Sets the GL state every frame draws with (see the list above); the frame
// routine calls it first. Leaves the modelview matrix selected.
void setupRenderState(const RenderState& state);

// The whole frame. scheduleNext is true only for the tick-driven paint; the
// result is then the scheduler's, otherwise the last scene pass's.
int renderFrame(RenderState& state, Scene& scene, Player& player, const FrameServices& services,
                bool scheduleNext);

}  // namespace vashel
