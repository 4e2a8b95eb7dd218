// The off-screen renderer on a clock that does not move, and small scenes
// built in code, for tests that check rendered pixels.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform_fakes.h"
#include "render/font.h"
#include "render/offscreen.h"

namespace vashel::testing {

class CountingPresenter final : public FramePresenter {
 public:
  void present(const FrameView&) override { ++count; }
  int count = 0;
};

// A w x h quad at depth z facing +z, corners counter-clockwise, with one
// normal (0, 0, 1) and texture coordinates 0..1.
inline Mesh quad(const std::string& name, double x0, double y0, double x1, double y1,
                 double z = 0.0) {
  Mesh mesh;
  mesh.name = name;
  const double corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (const auto& c : corners) {
    MeshVertex v;
    v.base = {c[0], c[1], z, 1};
    v.deformed = v.base;
    mesh.vertices.push_back(v);
  }
  mesh.texcoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  MeshVertex normal;
  normal.deformed = {0, 0, 1, 1};
  normal.base = normal.deformed;
  mesh.normals.push_back(normal);
  mesh.addFace({0, 1, 2, 3}, {0, 1, 2, 3}, {0, 0, 0, 0});
  return mesh;
}

inline Mesh pickOnly(Mesh mesh, const std::string& picking) {
  mesh.displayMode = kPickOnly;
  mesh.picking = picking;
  return mesh;
}

inline AnimCurve constantCurve(double value) {
  AnimCurve curve(1);
  curve.values[0] = value;
  return curve;
}

class RenderTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 240;
  static constexpr int kHeight = 320;
  // The built-in camera at distance -200 with a 54-degree view: world units
  // per pixel at depth 0.
  static constexpr double kPixelsPerUnit = 160.0 / 101.90508989;

  void SetUp() override { SetUpContext(GlTarget::Automatic); }

  void SetUpContext(GlTarget target) {
    ASSERT_TRUE(offscreen.open(kWidth, kHeight, target)) << offscreen.error();
    clock.ms = 5000;  // never stepped: the clock does not move
    clock.local = {12, 0};
    player.ports.time = &clock;
    services.presenter = &presenter;
  }

  // Client pixel of a world point at depth 0.
  static int px(double x) { return static_cast<int>(kWidth / 2 + x * kPixelsPerUnit); }
  static int py(double y) { return static_cast<int>(kHeight / 2 - y * kPixelsPerUnit); }

  // One presented frame at the player's current frame.
  FrameView draw() { return offscreen.drawFrame(scene); }

  std::array<std::uint8_t, 4> rgbaAt(double x, double y) { return draw().rgbaAt(px(x), py(y)); }

  // A selection pick at the client point of a world point; the mesh found.
  int pickAt(double x, double y, int pick = kPickToSelect) {
    offscreen.clickAt({px(x), py(y)}, pick);
    draw();
    return state.lastPickIndex;
  }

  OffscreenRenderer offscreen;
  GlContext& context = offscreen.context;
  RenderState& state = offscreen.state;
  Player& player = offscreen.player;
  FrameServices& services = offscreen.services;
  Scene scene;
  FakeClock clock;
  CountingPresenter presenter;
};

using Rgba = std::array<std::uint8_t, 4>;

}  // namespace vashel::testing
