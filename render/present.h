// The frame read back from GL and handed on: to the desktop window, or to an
// image file for tools and tests.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "render/render_state.h"

namespace vashel {

// A read-back frame: width x height pixels, bytes blue, green, red, alpha,
// bottom row first, colour already scaled by alpha. Valid during the call.
struct FrameView {
  int width = 0;
  int height = 0;
  std::span<const std::uint8_t> bgra;

  // Red, green, blue, alpha of the pixel at client point (x, y) (top-left
  // origin); all 0 outside the frame.
  std::array<std::uint8_t, 4> rgbaAt(int x, int y) const;
};

// Receives every presented frame.
class FramePresenter {
 public:
  virtual ~FramePresenter() = default;
  virtual void present(const FrameView& frame) = 0;
};

// Reads the whole render target into state.frame (sized once).
void readBackFrame(RenderState& state);

// Reads the frame back and hands it to the presenter (none: read only).
void presentFrame(RenderState& state, FramePresenter* presenter);

// The frame as state.frame holds it.
FrameView frameView(const RenderState& state);

// Writes the frame as an 8-bit RGBA PNG, top row first, the bytes as read
// back. Returns an empty string on success, else what went wrong.
std::string writePng(const std::string& path, const FrameView& frame);

}  // namespace vashel
