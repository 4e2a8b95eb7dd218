// The renderer's share of the application state: view, flags, picking and
// selection, the read-back frame and the GL objects. One record, so that the
// renderer keeps no state anywhere else.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/deform.h"
#include "render/mesh_arrays.h"

namespace vashel {

struct ClientPoint {
  int x = 0, y = 0;
};

struct ViewState {
  double distance = -200.0;              // z translation; the start-up sets 0 after loading
  double yaw = 0.0;                      // degrees
  double pitch = 0.0;                    // degrees
  std::array<double, 3> pivot{0, 0, 0};  // the scene's centre
  bool mouseTrace = false;               // follow the mouse (a user setting)
  // The camera in use is Scene::activeCamera (-1: the built-in camera).
};

// Toggled by the shell's key commands.
struct RenderFlags {
  std::uint8_t polygon = 1;  // draw meshes
  std::uint8_t texture = 1;
  std::uint8_t light = 0;  // switched on every frame when the scene has lights
  std::uint8_t guide = 0;  // face outlines
  std::uint8_t joint = 0;  // joint display
};

// The follow-mouse turning of the character.
struct FollowMouseState {
  ClientPoint lastCursor;
  int stillFrames = 0;
  double targetYaw = 0.0;
};

inline constexpr int kTextureNameCount = 128;
inline constexpr int kGlyphListBase = 1000;  // display lists 1000..1254: glyphs 0..254
inline constexpr int kGlyphCount = 255;

enum PickState { kNoPick = 0, kPickToPlay = 1, kPickToSelect = 2 };

// How mesh geometry reaches GL. Both draw the same pixels; the per-face path
// stays as the reference the arrays are checked against.
enum class GeometryPath { Arrays, PerFace };

struct RenderState {
  // Render size in pixels, fixed for the lifetime of the GL context.
  int windowWidth = 240;
  int windowHeight = 320;
  double aspect = 1.0;  // client width / height, for the projection

  ViewState view;
  RenderFlags flags;
  FollowMouseState follow;

  int pickState = kNoPick;
  ClientPoint mousePos;  // last click point in client pixels
  int mouseButton = 0;   // the mouse message that started the gesture; 0 none
  int selectedJoint = -1;
  int selectedAxisMask = 0;  // bit 0 x, bit 1 y, bit 2 z: axes that may be dragged
  int selectionIndex = 0;    // picked mesh index + 1; 0 none
  int lastPickIndex = -1;    // the mesh the last pick pass found; -1 none
  bool presentRequest = false;
  bool sceneChanged = false;

  // GL texture names, one per texture-name entry; -1 marks an unusable one.
  std::array<std::int64_t, kTextureNameCount> textureNames;
  // Whether every texel's alpha is 1: modulating by such a texture leaves a
  // fragment's alpha as it is.
  std::array<bool, kTextureNameCount> textureOpaque{};
  bool texturesUploaded = false;
  unsigned readBuffer = 0x0405;  // GL_BACK; an FBO target reads its attachment

  DeformTables deform;
  GeometryPath geometry = GeometryPath::Arrays;
  MeshArrayCache meshArrays;

  // The read-back frame: windowWidth x windowHeight pixels, bytes blue, green,
  // red, alpha, bottom row first; colour already scaled by alpha.
  std::vector<std::uint8_t> frame;

  RenderState() { textureNames.fill(-1); }
};

}  // namespace vashel
