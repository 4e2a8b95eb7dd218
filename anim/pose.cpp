// Joint matrices for one frame and the taking over of downloaded joint keys.
#include "anim/pose.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vashel {

Mat4 identityMatrix() {
  return {1, 0, 0, 0,  //
          0, 1, 0, 0,  //
          0, 0, 1, 0,  //
          0, 0, 0, 1};
}

Mat4 multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      r[row * 4 + col] = a[row * 4 + 0] * b[0 * 4 + col] + a[row * 4 + 1] * b[1 * 4 + col] +
                         a[row * 4 + 2] * b[2 * 4 + col] + a[row * 4 + 3] * b[3 * 4 + col];
    }
  }
  return r;
}

Mat4 translationMatrix(double x, double y, double z) {
  return {1, 0, 0, x,  //
          0, 1, 0, y,  //
          0, 0, 1, z,  //
          0, 0, 0, 1};
}

Mat4 rotationX(double degrees) {
  const double a = degrees * kDegreesToRadians;
  const double c = std::cos(a), s = std::sin(a);
  return {1, 0, 0,  0,  //
          0, c, -s, 0,  //
          0, s, c,  0,  //
          0, 0, 0,  1};
}

Mat4 rotationY(double degrees) {
  const double a = degrees * kDegreesToRadians;
  const double c = std::cos(a), s = std::sin(a);
  return {c,  0, s, 0,  //
          0,  1, 0, 0,  //
          -s, 0, c, 0,  //
          0,  0, 0, 1};
}

Mat4 rotationZ(double degrees) {
  const double a = degrees * kDegreesToRadians;
  const double c = std::cos(a), s = std::sin(a);
  return {c, -s, 0, 0,  //
          s, c,  0, 0,  //
          0, 0,  1, 0,  //
          0, 0,  0, 1};
}

Vec4 transform(const Mat4& m, const Vec4& p) {
  Vec4 r{};
  for (int row = 0; row < 4; ++row) {
    r[row] = m[row * 4 + 0] * p[0] + m[row * 4 + 1] * p[1] + m[row * 4 + 2] * p[2] +
             m[row * 4 + 3] * p[3];
  }
  return r;
}

std::array<double, 3> jointPosition(const Joint& joint, int frame) {
  return {evaluateCurve(joint.curve(TranslateX), frame),
          evaluateCurve(joint.curve(TranslateY), frame),
          evaluateCurve(joint.curve(TranslateZ), frame)};
}

namespace {

bool hasParent(std::span<Joint> joints, std::size_t index) {
  const int parent = joints[index].parent;
  return parent >= 0 && static_cast<std::size_t>(parent) < joints.size() &&
         static_cast<std::size_t>(parent) != index;
}

}  // namespace

void computeJointWorld(std::span<Joint> joints, std::size_t index, const PoseFrame& frame) {
  if (index >= joints.size()) return;
  Joint& joint = joints[index];
  const int f = roundFrame(frame.currentFrame);

  Mat4 world = hasParent(joints, index) ? joints[joint.parent].world : identityMatrix();
  const auto position = jointPosition(joint, f);
  world = multiply(world, translationMatrix(position[0], position[1], position[2]));
  world = multiply(world, rotationZ(joint.jointOrientation[2]));
  world = multiply(world, rotationY(joint.jointOrientation[1]));
  world = multiply(world, rotationX(joint.jointOrientation[0]));

  // While paused the cached angles rule, so that a joint turned by hand stays put.
  if (frame.playState != 0) {
    joint.cachedRotation = {evaluateCurve(joint.curve(RotateX), f),
                            evaluateCurve(joint.curve(RotateY), f),
                            evaluateCurve(joint.curve(RotateZ), f)};
  }
  world = multiply(world, rotationZ(joint.cachedRotation[2]));
  world = multiply(world, rotationY(joint.cachedRotation[1]));
  world = multiply(world, rotationX(joint.cachedRotation[0]));

  joint.world = world;
  joint.changed = 1;
}

void computeSkinMatrix(std::span<Joint> joints, std::size_t index, const PoseFrame& frame) {
  if (index >= joints.size()) return;
  computeJointWorld(joints, index, frame);
  Joint& joint = joints[index];

  const int s = frame.sceneStartFrame;
  const auto position = jointPosition(joint, s);
  Mat4 bind = rotationX(-evaluateCurve(joint.curve(RotateX), s));
  bind = multiply(bind, rotationY(-evaluateCurve(joint.curve(RotateY), s)));
  bind = multiply(bind, rotationZ(-evaluateCurve(joint.curve(RotateZ), s)));
  bind = multiply(bind, rotationX(-joint.jointOrientation[0]));
  bind = multiply(bind, rotationY(-joint.jointOrientation[1]));
  bind = multiply(bind, rotationZ(-joint.jointOrientation[2]));
  bind = multiply(bind, translationMatrix(-position[0], -position[1], -position[2]));
  if (hasParent(joints, index)) bind = multiply(bind, joints[joint.parent].inverseBind);

  joint.inverseBind = bind;
  joint.skin = multiply(joint.world, bind);
}

bool updatePose(std::span<Joint> joints, const PoseFrame& frame) {
  bool changed = false;
  for (std::size_t i = 0; i < joints.size(); ++i) {
    // computeSkinMatrix evaluates the world matrix itself; one call per joint
    // gives the same matrices as the world-then-skin sequence.
    computeSkinMatrix(joints, i, frame);
    if (joints[i].changed) changed = true;
  }
  return changed;
}

namespace {

// Radians to degrees in two steps (times 180, then times 1/pi), as the
// downloaded format has always been read, so values round the same way.
double radiansToDegrees(double radians) { return radians * 180.0 * 0.3183098861837907; }

AnimCurve curveFromKeys(const DownloadedKeys& keys, bool rotation) {
  const std::size_t n = std::min(keys.times.size(), keys.values.size());
  AnimCurve curve(n);  // tangent angles stay 0
  for (std::size_t i = 0; i < n; ++i) {
    curve.times[i] = keys.times[i];
    const double value = keys.values[i];
    curve.values[i] = rotation ? radiansToDegrees(value) : value;
  }
  return curve;
}

}  // namespace

void applyJointKeys(Joint& joint, const DownloadedJoint& keys, int firstFrame, int lastFrame) {
  for (int axis = 0; axis < 3; ++axis) {
    AnimCurve translate = curveFromKeys(keys.translate[axis], false);
    AnimCurve rotate = curveFromKeys(keys.rotate[axis], true);
    bakeCurve(translate, firstFrame, lastFrame);
    bakeCurve(rotate, firstFrame, lastFrame);
    joint.curves[TranslateX + axis] = std::move(translate);
    joint.curves[RotateX + axis] = std::move(rotate);
  }
}

bool applyDownloadedAnimation(Scene& scene, const DownloadedAnimation& animation,
                              std::FILE* diagnostics) {
  if (animation.end < 0 || animation.end > kMaxDownloadedEndFrame) {
    if (diagnostics) {
      std::fprintf(diagnostics, "animation-data: end frame %d out of range\n", animation.end);
    }
    return false;
  }
  for (const DownloadedJoint& keys : animation.joints) {
    const int index = scene.findJoint(keys.name);
    if (index < 0) {
      if (diagnostics) std::fprintf(diagnostics, "   ↑整合がとれてないよ\n");
      continue;
    }
    applyJointKeys(scene.joints[index], keys, scene.sceneStartFrame, animation.end);
  }
  scene.sceneEndFrame = animation.end;
  return true;
}

}  // namespace vashel
