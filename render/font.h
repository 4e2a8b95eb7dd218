// The GL set-up done once after the context exists: the bitmap glyphs used
// for joint names (display lists 1000..1254), pixel unpacking and viewport.
#pragma once

#include <array>
#include <cstdint>

#include "render/render_state.h"

namespace vashel {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Rows of the 5 x 7 glyph of an ASCII character, top row first, bit 4 the
// leftmost pixel; all zero for characters without a glyph. `descends` tells
// whether the glyph sits two pixels below the baseline.
struct Glyph {
  std::array<std::uint8_t, kGlyphHeight> rows{};
  bool descends = false;
};
Glyph glyphFor(unsigned char c);

// Sets the aspect from the client size, compiles glyphs 0..254 into display
// lists kGlyphListBase.., sets GL_UNPACK_ALIGNMENT 1 and the viewport to the
// render size. Needs a current context.
void initFontsAndViewport(RenderState& state, int clientWidth, int clientHeight);

class GlContext;
// The set-up of a new context as one step: the render size and the buffer
// frames are read from come from the context, then fonts and viewport.
void initRenderTarget(RenderState& state, const GlContext& context);

}  // namespace vashel
