// Read-back of the render target into the bottom-up BGRA frame, and the PNG
// writer that tools use in place of the desktop window.
#include "render/present.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <vector>

namespace vashel {

std::array<std::uint8_t, 4> FrameView::rgbaAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {0, 0, 0, 0};
  const std::size_t row = static_cast<std::size_t>(height - 1 - y);
  const std::size_t at = (row * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  if (at + 4 > bgra.size()) return {0, 0, 0, 0};
  return {bgra[at + 2], bgra[at + 1], bgra[at], bgra[at + 3]};
}

void readBackFrame(RenderState& state) {
  const std::size_t size = static_cast<std::size_t>(state.windowWidth) *
                           static_cast<std::size_t>(state.windowHeight) * 4;
  if (state.frame.size() != size) state.frame.assign(size, 0);
  glReadBuffer(state.readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadPixels(0, 0, state.windowWidth, state.windowHeight, GL_BGRA, GL_UNSIGNED_BYTE,
               state.frame.data());
}

void presentFrame(RenderState& state, FramePresenter* presenter) {
  readBackFrame(state);
  if (presenter) presenter->present(frameView(state));
}

FrameView frameView(const RenderState& state) {
  return FrameView{state.windowWidth, state.windowHeight, state.frame};
}

std::string writePng(const std::string& path, const FrameView& frame) {
  const std::size_t w = static_cast<std::size_t>(frame.width);
  const std::size_t h = static_cast<std::size_t>(frame.height);
  if (frame.width <= 0 || frame.height <= 0 || frame.bgra.size() < w * h * 4) {
    return "no frame to write";
  }
  // Top row first, red, green, blue, alpha.
  std::vector<std::uint8_t> rgba(w * h * 4);
  std::vector<png_bytep> rows(h);
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t* src = frame.bgra.data() + (h - 1 - y) * w * 4;
    std::uint8_t* dst = rgba.data() + y * w * 4;
    for (std::size_t x = 0; x < w; ++x) {
      dst[x * 4 + 0] = src[x * 4 + 2];
      dst[x * 4 + 1] = src[x * 4 + 1];
      dst[x * 4 + 2] = src[x * 4 + 0];
      dst[x * 4 + 3] = src[x * 4 + 3];
    }
    rows[y] = dst;
  }

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return "cannot open " + path + " for writing";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(file);
    return "libpng could not start";
  }
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the write.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return "cannot write " + path;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const bool closed = std::fclose(file) == 0;
  return closed ? std::string() : "cannot write " + path;
}

}  // namespace vashel
