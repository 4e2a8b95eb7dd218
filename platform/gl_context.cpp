// EGL set-up of the off-screen GL context: the surfaceless platform first,
// then the default display; a pbuffer, else a framebuffer object.
#include "platform/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <string_view>

namespace vashel {

struct GlContext::Impl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  GLuint framebuffer = 0;
  GLuint colorBuffer = 0;
  GLuint depthBuffer = 0;
  int width = 0;
  int height = 0;
  GlTarget target = GlTarget::Automatic;
  std::string error;

  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
};

namespace {

bool hasExtension(const char* list, std::string_view name) {
  if (!list) return false;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    if (word == name) return true;
    if (space == std::string_view::npos) break;
    rest.remove_prefix(space + 1);
  }
  return false;
}

std::string eglErrorText(const char* step) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
  return std::string(step) + " failed (EGL error " + code + ")";
}

// The surfaceless platform needs no display server; the default display is
// the fallback for drivers without it.
EGLDisplay openDisplay() {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay) {
      EGLDisplay display =
          getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
  }
  EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
  return EGL_NO_DISPLAY;
}

bool chooseConfig(EGLDisplay display, bool pbuffer, EGLConfig& config) {
  const EGLint attributes[] = {EGL_SURFACE_TYPE,
                               pbuffer ? EGL_PBUFFER_BIT : 0,
                               EGL_RENDERABLE_TYPE,
                               EGL_OPENGL_BIT,
                               EGL_RED_SIZE,
                               8,
                               EGL_GREEN_SIZE,
                               8,
                               EGL_BLUE_SIZE,
                               8,
                               EGL_ALPHA_SIZE,
                               8,
                               EGL_DEPTH_SIZE,
                               24,
                               EGL_NONE};
  EGLint count = 0;
  return eglChooseConfig(display, attributes, &config, 1, &count) && count > 0;
}

EGLContext createContext(EGLDisplay display, EGLConfig config) {
  const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                  EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
  // Drivers before EGL 1.5 may refuse the profile attribute; their default
  // context is a compatibility one.
  if (context == EGL_NO_CONTEXT)
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  return context;
}

template <typename Function>
Function glFunction(const char* name) {
  return reinterpret_cast<Function>(eglGetProcAddress(name));
}

}  // namespace

GlContext::GlContext() : impl_(std::make_unique<Impl>()) {}

GlContext::~GlContext() { release(); }

bool GlContext::create(int width, int height, GlTarget target) {
  release();
  Impl& c = *impl_;
  c.error.clear();
  auto fail = [&](std::string text) {
    release();
    c.error = std::move(text);
    return false;
  };
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    return fail("render size " + std::to_string(width) + "x" + std::to_string(height) +
                " out of range");
  }

  c.display = openDisplay();
  if (c.display == EGL_NO_DISPLAY) return fail(eglErrorText("eglInitialize"));
  if (!eglBindAPI(EGL_OPENGL_API)) return fail(eglErrorText("eglBindAPI(EGL_OPENGL_API)"));

  EGLConfig config = nullptr;
  bool usePbuffer = target != GlTarget::SurfacelessFbo && chooseConfig(c.display, true, config);
  if (!usePbuffer) {
    if (target == GlTarget::Pbuffer)
      return fail("no pbuffer configuration with RGBA8 and depth 24");
    if (!chooseConfig(c.display, false, config)) {
      return fail("no configuration with RGBA8 and depth 24 for OpenGL");
    }
  }
  c.context = createContext(c.display, config);
  if (c.context == EGL_NO_CONTEXT) return fail(eglErrorText("eglCreateContext"));

  if (usePbuffer) {
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    c.surface = eglCreatePbufferSurface(c.display, config, size);
    if (c.surface == EGL_NO_SURFACE) {
      if (target == GlTarget::Pbuffer) return fail(eglErrorText("eglCreatePbufferSurface"));
      usePbuffer = false;
    }
  }
  if (!eglMakeCurrent(c.display, c.surface, c.surface, c.context)) {
    return fail(eglErrorText("eglMakeCurrent"));
  }
  c.width = width;
  c.height = height;
  c.target = usePbuffer ? GlTarget::Pbuffer : GlTarget::SurfacelessFbo;

  if (!usePbuffer) {
    auto genFramebuffers = glFunction<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    auto bindFramebuffer = glFunction<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    auto genRenderbuffers = glFunction<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    auto bindRenderbuffer = glFunction<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto renderbufferStorage = glFunction<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto framebufferRenderbuffer =
        glFunction<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    auto checkStatus = glFunction<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    c.deleteFramebuffers = glFunction<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
    c.deleteRenderbuffers = glFunction<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
    if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !bindRenderbuffer ||
        !renderbufferStorage || !framebufferRenderbuffer || !checkStatus || !c.deleteFramebuffers ||
        !c.deleteRenderbuffers) {
      return fail("framebuffer objects are not available");
    }
    genFramebuffers(1, &c.framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, c.framebuffer);
    genRenderbuffers(1, &c.colorBuffer);
    bindRenderbuffer(GL_RENDERBUFFER, c.colorBuffer);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, c.colorBuffer);
    genRenderbuffers(1, &c.depthBuffer);
    bindRenderbuffer(GL_RENDERBUFFER, c.depthBuffer);
    renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, c.depthBuffer);
    if (checkStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      return fail("the framebuffer object is incomplete");
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
  }

  GLint alphaBits = 0, depthBits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  if (alphaBits < 8 || depthBits < 24) {
    return fail("the context has " + std::to_string(alphaBits) + " alpha bits and " +
                std::to_string(depthBits) + " depth bits");
  }
  return true;
}

bool GlContext::makeCurrent() {
  const Impl& c = *impl_;
  if (c.context == EGL_NO_CONTEXT) return false;
  return eglMakeCurrent(c.display, c.surface, c.surface, c.context) == EGL_TRUE;
}

void GlContext::release() {
  Impl& c = *impl_;
  if (c.display == EGL_NO_DISPLAY) return;
  if (c.context != EGL_NO_CONTEXT && eglGetCurrentContext() == c.context) {
    if (c.framebuffer && c.deleteFramebuffers) c.deleteFramebuffers(1, &c.framebuffer);
    if (c.deleteRenderbuffers) {
      if (c.colorBuffer) c.deleteRenderbuffers(1, &c.colorBuffer);
      if (c.depthBuffer) c.deleteRenderbuffers(1, &c.depthBuffer);
    }
  }
  eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (c.surface != EGL_NO_SURFACE) eglDestroySurface(c.display, c.surface);
  if (c.context != EGL_NO_CONTEXT) eglDestroyContext(c.display, c.context);
  // The display is not terminated: EGL shares it with every other context of
  // the process on the same platform.
  std::string error = std::move(c.error);
  c = Impl{};
  c.error = std::move(error);
}

bool GlContext::valid() const { return impl_->context != EGL_NO_CONTEXT; }
int GlContext::width() const { return impl_->width; }
int GlContext::height() const { return impl_->height; }
GlTarget GlContext::target() const { return impl_->target; }

unsigned GlContext::readBuffer() const {
  return impl_->target == GlTarget::SurfacelessFbo ? GL_COLOR_ATTACHMENT0 : GL_BACK;
}

const std::string& GlContext::error() const { return impl_->error; }

std::string GlContext::description() const {
  if (!valid()) return "no context";
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return std::string(renderer ? renderer : "?") + ", OpenGL " + (version ? version : "?");
}

}  // namespace vashel
