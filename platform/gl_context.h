// An off-screen OpenGL context through EGL: compatibility profile, RGBA with
// 8 bits each, depth of 24 bits or more, drawn into a pbuffer or, where there
// is none, into a framebuffer object of a surfaceless context. Works without a
// display (Mesa's surfaceless platform) and with GPU drivers.
#pragma once

#include <memory>
#include <string>

namespace vashel {

enum class GlTarget {
  Automatic,  // a pbuffer when the driver offers one, else an FBO
  Pbuffer,
  SurfacelessFbo,  // no surface at all: draw into a framebuffer object
};

class GlContext {
 public:
  GlContext();
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // Creates the context and its render target of width x height pixels and
  // makes it current on the calling thread. On failure returns false, leaves
  // nothing behind and explains why in error().
  bool create(int width, int height, GlTarget target = GlTarget::Automatic);
  bool makeCurrent();
  void release();

  bool valid() const;
  int width() const;
  int height() const;
  GlTarget target() const;  // what create() ended up with
  // The GL buffer that holds the frame: GL_BACK, or the FBO's colour attachment.
  unsigned readBuffer() const;
  const std::string& error() const;
  // GL_RENDERER and GL_VERSION of the current context, for diagnostics.
  std::string description() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vashel
