// Off-screen rendering set-up shared by glj, the tests and the benchmarks.
#include "render/offscreen.h"

#include <limits>

#include "render/font.h"
#include "render/textures.h"
#include "scene/curve.h"

namespace vashel {

OffscreenRenderer::OffscreenRenderer() {
  player.ports.time = &clock;
  player.ports.random = &random;
  player.log = nullptr;
  services.context = &context;
}

bool OffscreenRenderer::open(int width, int height, GlTarget target) {
  if (!context.create(width, height, target)) return false;
  initRenderTarget(state, context);
  player.clock.playState = kFrameWalk;
  player.clock.currentFrame = 1.0;
  return true;
}

void OffscreenRenderer::showScene(Scene& scene, std::FILE* diagnostics) {
  // Arrays built for a scene shown before may fit this one's sizes.
  state.meshArrays = MeshArrayCache{};
  uploadTextures(scene, state, diagnostics);
  state.view.distance = 0.0;
  state.view.pivot = scene.center;
  player.clock.startFrame = scene.sceneStartFrame;
  player.clock.endFrame = scene.sceneEndFrame;
}

void OffscreenRenderer::clickAt(ClientPoint at, int pickState) {
  state.pickState = pickState;
  state.mouseButton = 1;
  state.mousePos = at;
}

FrameView OffscreenRenderer::drawFrame(Scene& scene) {
  // A last frame at the far int limit, which neither the current frame nor
  // the one the clock moves to rounds to: the frame is drawn as it is.
  player.clock.lastIntegerFrame = roundFrame(player.clock.currentFrame) < 0
                                      ? std::numeric_limits<int>::max()
                                      : std::numeric_limits<int>::min();
  state.presentRequest = true;
  renderFrame(state, scene, player, services, false);
  return frameView(state);
}

}  // namespace vashel
