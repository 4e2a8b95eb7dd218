// The program's frame drawn without the desktop window: a GL context of its
// own with the render state set up on it, and a player that moves only when
// told. The one set-up that tools, tests and benchmarks render with.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "anim/player.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "platform/random.h"
#include "render/frame.h"
#include "render/present.h"
#include "render/render_state.h"
#include "scene/model.h"

namespace vashel {

// A clock stopped at 0: no time passes between frames, so only the frame
// counter moves the picture.
class StoppedClock final : public Clock {
 public:
  std::int32_t nowMs() override { return 0; }
  std::int64_t epochSeconds() override { return 0; }
  LocalTime localTime() override { return {}; }
};

// Neither copied nor moved: the player and the services point into it.
class OffscreenRenderer {
 public:
  OffscreenRenderer();
  OffscreenRenderer(const OffscreenRenderer&) = delete;
  OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

  // Creates the context with a render target of width x height pixels (a
  // new one on a second call) and sets up the render state on it; puts the
  // player at frame 1 in frame-walk. False, with error() telling why, when
  // there is no context.
  bool open(int width, int height, GlTarget target = GlTarget::Automatic);
  const std::string& error() const { return context.error(); }

  // A loaded scene as the program's start-up leaves it: textures uploaded
  // from the working directory (problems reported on `diagnostics`, none:
  // silent), the view at distance 0 about the scene's centre, the player's
  // range the scene's.
  void showScene(Scene& scene, std::FILE* diagnostics = stderr);

  // Makes the next frame serve a click at client point `at` with a pick pass
  // first: kPickToSelect selects the joint the mesh names (unless playing),
  // kPickToPlay starts the action it names.
  void clickAt(ClientPoint at, int pickState = kPickToSelect);

  // Draws and presents one frame at the player's current frame (never the
  // repeat step of a frame shown before). The view holds state.frame.
  FrameView drawFrame(Scene& scene);

  GlContext context;
  RenderState state;
  StoppedClock clock;
  CrtRandom random;
  Player player;           // its time and random ports: clock and random
  FrameServices services;  // the context; presenter and pointer: none
};

}  // namespace vashel
