// Projection and view of every frame, the fixed-function lights, the
// follow-the-mouse turning and the diagnostic joint display.
#pragma once

#include <cstdio>

#include "platform/random.h"
#include "render/render_state.h"
#include "scene/model.h"

namespace vashel {

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Where the cursor and the character's window are on the screen. The desktop
// shell asks the window system; tests script both.
class DesktopPointer {
 public:
  virtual ~DesktopPointer() = default;
  virtual ClientPoint cursorPosition() = 0;  // screen coordinates
  virtual ScreenRect windowRectangle() = 0;  // screen coordinates
};

// Near and far planes of the two camera kinds, as integers.
struct ClipPlanes {
  int nearPlane = 1;
  int farPlane = 501;
};
ClipPlanes builtInClipPlanes(double distance);
ClipPlanes sceneCameraClipPlanes(double cameraZ, double distance);

// Multiplies the camera onto the current (projection) matrix: the built-in
// camera when Scene::activeCamera is not a camera of the list, else that
// camera at the current frame.
void setupCamera(const Scene& scene, const RenderState& state, double currentFrame);

// Positions and colours one GL light per scene light (as many as GL offers),
// with the current modelview matrix replaced; switches the Light flag on when
// the scene has lights. Unknown light types are reported on `log`.
void setupLights(const Scene& scene, RenderState& state, double currentFrame,
                 std::FILE* log = stdout);

// Turns the view towards the cursor: yaw eases to a target heading, pitch
// follows the vertical offset. A cursor left still for long lets the
// character look around by itself (rand() draws from `random`).
void updateFollowMouse(RenderState& state, DesktopPointer& pointer, RandomSource& random);

// Axis crosses, origins, bones and names of every joint's world matrix.
void drawJoints(const Scene& scene);

}  // namespace vashel
