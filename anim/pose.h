// Pose evaluation: joint world, inverse bind and skin matrices for one frame,
// and the taking over of joint animation downloaded as a key set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "scene/model.h"

namespace vashel {

// --- 4 x 4 matrices (row-major, applied to column vectors) ------------------

Mat4 identityMatrix();
Mat4 multiply(const Mat4& a, const Mat4& b);  // a times b
Mat4 translationMatrix(double x, double y, double z);
// Right-handed rotations by an angle in degrees.
Mat4 rotationX(double degrees);
Mat4 rotationY(double degrees);
Mat4 rotationZ(double degrees);
Vec4 transform(const Mat4& m, const Vec4& p);  // m times p, all four components

// --- Joints -----------------------------------------------------------------

// The joint's translate curves at a frame; absent curves give 0.
std::array<double, 3> jointPosition(const Joint& joint, int frame);

// What the pose of one frame depends on besides the joints themselves.
struct PoseFrame {
  double currentFrame = 1.0;  // rounded half up wherever a curve is read
  int playState = 1;          // 0 paused: rotations come from the cached angles
  int sceneStartFrame = 0;    // the bind pose
};

// Fills joints[index].world and its changed flag. Joints are evaluated in
// list order, so a parent's world matrix from the same pass is already there;
// a parent index outside the list counts as no parent.
void computeJointWorld(std::span<Joint> joints, std::size_t index, const PoseFrame& frame);

// Recomputes the world matrix, then fills the inverse bind matrix (from the
// pose at sceneStartFrame, times the parent's inverse bind) and the skin
// matrix (world times inverse bind).
void computeSkinMatrix(std::span<Joint> joints, std::size_t index, const PoseFrame& frame);

// One pose pass over every joint in list order (world, then skin). Returns
// whether any joint was marked changed.
bool updatePose(std::span<Joint> joints, const PoseFrame& frame);

// --- Downloaded animation ---------------------------------------------------

// Key lists of one axis as downloaded: single-precision times and values.
struct DownloadedKeys {
  std::vector<float> times;
  std::vector<float> values;
};

// One joint of a downloaded animation set. Rotate values are in radians.
struct DownloadedJoint {
  std::string name;                         // code page 932, matched exactly against scene joints
  std::array<DownloadedKeys, 3> translate;  // x, y, z
  std::array<DownloadedKeys, 3> rotate;     // x, y, z
};

// A downloaded animation set: its joints in document order and its range.
struct DownloadedAnimation {
  std::vector<DownloadedJoint> joints;
  int start = 0;
  int end = 0;
};

// Larger end frames are refused: baking allocates one table entry per frame.
inline constexpr int kMaxDownloadedEndFrame = 1'000'000;

// Replaces the six curves of `joint` by curves built from the downloaded keys
// (tangent angles 0, rotations converted to degrees), each baked over
// firstFrame..lastFrame. Key lists of unequal length use their common length.
void applyJointKeys(Joint& joint, const DownloadedJoint& keys, int firstFrame, int lastFrame);

// Applies every joint of the set to the scene joint of the same name, baking
// from sceneStartFrame to the set's end, then makes that end the scene's end
// frame. A name without a scene joint prints one line on `diagnostics`. An end
// frame below 0 or above kMaxDownloadedEndFrame leaves the scene untouched and
// returns false.
bool applyDownloadedAnimation(Scene& scene, const DownloadedAnimation& animation,
                              std::FILE* diagnostics = stderr);

}  // namespace vashel
