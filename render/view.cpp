// Camera, lights, follow-mouse and joint display.
#include "render/view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "anim/pose.h"

namespace vashel {
namespace {

// Truncates toward zero into an int, saturating instead of overflowing.
int truncateToInt(double value) {
  if (!(value > -2.0e9)) return std::isnan(value) ? 0 : -2000000000;
  if (value > 2.0e9) return 2000000000;
  return static_cast<int>(value);
}

ClipPlanes planesFrom(double nearValue, int depth) {
  ClipPlanes planes;
  planes.nearPlane = std::max(1, truncateToInt(nearValue));
  planes.farPlane = planes.nearPlane + depth;
  return planes;
}

}  // namespace

ClipPlanes builtInClipPlanes(double distance) { return planesFrom(-distance - 100.0, 500); }

ClipPlanes sceneCameraClipPlanes(double cameraZ, double distance) {
  return planesFrom(cameraZ - distance - 200.0, 600);
}

void setupCamera(const Scene& scene, const RenderState& state, double currentFrame) {
  const int f = roundFrame(currentFrame);
  const int index = scene.activeCamera;
  if (index < 0 || static_cast<std::size_t>(index) >= scene.cameras.size()) {
    const ClipPlanes planes = builtInClipPlanes(state.view.distance);
    gluPerspective(54.0, state.aspect, planes.nearPlane, planes.farPlane);
    glTranslatef(0.0f, 0.0f, static_cast<GLfloat>(state.view.distance));
    return;
  }
  const Camera& camera = scene.cameras[index];
  const double px = evaluateCurve(camera.curve(TranslateX), f);
  const double py = evaluateCurve(camera.curve(TranslateY), f);
  const double pz = evaluateCurve(camera.curve(TranslateZ), f);
  const ClipPlanes planes = sceneCameraClipPlanes(pz, state.view.distance);
  gluPerspective(camera.vfov, state.aspect, planes.nearPlane, planes.farPlane);
  glTranslatef(0.0f, 0.0f, static_cast<GLfloat>(state.view.distance));
  glRotatef(static_cast<GLfloat>(-evaluateCurve(camera.curve(RotateX), f)), 1.0f, 0.0f, 0.0f);
  glRotatef(static_cast<GLfloat>(-evaluateCurve(camera.curve(RotateY), f)), 0.0f, 1.0f, 0.0f);
  glRotatef(static_cast<GLfloat>(-evaluateCurve(camera.curve(RotateZ), f)), 0.0f, 0.0f, 1.0f);
  glTranslatef(static_cast<GLfloat>(-px), static_cast<GLfloat>(-py), static_cast<GLfloat>(-pz));
}

void setupLights(const Scene& scene, RenderState& state, double currentFrame, std::FILE* log) {
  if (!scene.lights.empty()) state.flags.light = 1;
  const int f = roundFrame(currentFrame);
  GLint maxLights = 8;
  glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
  const std::size_t usable = std::min(scene.lights.size(), static_cast<std::size_t>(maxLights));
  for (std::size_t i = 0; i < usable; ++i) {
    const Light& light = scene.lights[i];
    const GLenum id = static_cast<GLenum>(GL_LIGHT0 + i);
    glLoadIdentity();
    glRotatef(static_cast<GLfloat>(evaluateCurve(light.curve(RotateZ), f)), 0.0f, 0.0f, 1.0f);
    glRotatef(static_cast<GLfloat>(evaluateCurve(light.curve(RotateY), f)), 0.0f, 1.0f, 0.0f);
    glRotatef(static_cast<GLfloat>(evaluateCurve(light.curve(RotateX), f)), 1.0f, 0.0f, 0.0f);
    const GLfloat direction[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    glLightfv(id, GL_POSITION, direction);
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const GLfloat specular[4] = {0.8f, 0.8f, 0.8f, 0.0f};
    switch (light.type) {
      case kLightAmbient:
        glLightfv(id, GL_AMBIENT, light.color.data());
        glLightfv(id, GL_DIFFUSE, none);
        glLightfv(id, GL_SPECULAR, none);
        break;
      case kLightPoint:  // lit like a directional light
      case kLightDirectional:
        glLightfv(id, GL_AMBIENT, none);
        glLightfv(id, GL_DIFFUSE, light.color.data());
        glLightfv(id, GL_SPECULAR, specular);
        break;
      default:
        if (log) std::fprintf(log, "calcLightPos: ERROR (unknown type)\n");
        break;
    }
    glEnable(id);
  }
  glEnable(GL_NORMALIZE);
}

void updateFollowMouse(RenderState& state, DesktopPointer& pointer, RandomSource& random) {
  FollowMouseState& follow = state.follow;
  ViewState& view = state.view;
  const ScreenRect window = pointer.windowRectangle();
  const int centreX = (window.left + window.right) / 2;
  const int centreY = (window.top + window.bottom) / 2;
  const ClientPoint cursor = pointer.cursorPosition();

  if (cursor.x == follow.lastCursor.x && cursor.y == follow.lastCursor.y) {
    ++follow.stillFrames;
  } else {
    follow.lastCursor = cursor;
    follow.stillFrames = 0;
  }

  const int dx = cursor.x - centreX;
  const int dy = cursor.y - centreY;
  const double h =
      (dy > -1 && dy < 1) ? 0.0 : std::atan(static_cast<double>(dx) / dy) * kRadiansToDegrees;
  if (follow.stillFrames == 0) follow.targetYaw = dy < 0 ? -h : h;
  view.yaw += (follow.targetYaw - view.yaw) * 0.1;

  if (follow.stillFrames > 300) {
    const bool lookAround = random.rand() % 101 <= 5;
    if (lookAround && std::fabs(follow.targetYaw - view.yaw) < 1.0) {
      follow.targetYaw = random.rand() % 360;
      follow.stillFrames = 0;
    }
  }
  view.pitch = std::clamp(dy * 0.02, -20.0, 20.0);
}

void drawJoints(const Scene& scene) {
  glListBase(kGlyphListBase);
  for (std::size_t i = 0; i < scene.joints.size(); ++i) {
    const Joint& joint = scene.joints[i];
    const Mat4& w = joint.world;
    const Vec4 origin = transform(w, {0, 0, 0, 1});
    auto line = [&w](const Vec4& a, const Vec4& b) {
      const Vec4 pa = transform(w, a), pb = transform(w, b);
      glVertex3d(pa[0], pa[1], pa[2]);
      glVertex3d(pb[0], pb[1], pb[2]);
    };
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    line({2, 0, 0, 1}, {-2, 0, 0, 1});
    glColor3f(0.0f, 1.0f, 0.0f);
    line({0, 2, 0, 1}, {0, -2, 0, 1});
    glColor3f(0.0f, 0.0f, 1.0f);
    line({0, 0, 2, 1}, {0, 0, -2, 1});
    glEnd();

    glPointSize(3.0f);
    glBegin(GL_POINTS);
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex3d(origin[0], origin[1], origin[2]);
    glEnd();

    const int parent = joint.parent;
    if (parent < 0 || static_cast<std::size_t>(parent) >= scene.joints.size()) continue;
    const Vec4 parentOrigin = transform(scene.joints[parent].world, {0, 0, 0, 1});
    glBegin(GL_LINES);
    glColor3f(0.6f, 0.6f, 0.6f);
    glVertex3d(origin[0], origin[1], origin[2]);
    glVertex3d(parentOrigin[0], parentOrigin[1], parentOrigin[2]);
    glEnd();

    Vec4 middle;
    for (int k = 0; k < 4; ++k) middle[k] = (origin[k] + parentOrigin[k]) / 2.0;
    glColor3f(1.0f, 0.0f, 1.0f);  // the raster colour is latched by glRasterPos
    glRasterPos3f(static_cast<GLfloat>(middle[0]), static_cast<GLfloat>(middle[1]),
                  static_cast<GLfloat>(middle[2]));
    if (!joint.name.empty()) {
      glCallLists(static_cast<GLsizei>(joint.name.size()), GL_UNSIGNED_BYTE, joint.name.data());
    }
  }
}

}  // namespace vashel
