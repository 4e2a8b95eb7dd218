// The sample character's body: a skeleton and the meshes skinned to it, in
// the bind pose (the pose at the scene's first frame, every rotation 0).
#pragma once

#include <vector>

#include "tools/make_sample/sample_scene.h"

namespace vashel::sample {

// Joint list positions; a parent always comes before its children.
enum JointId {
  kRoot, kHips, kSpine, kNeck, kHead,
  kTailL, kTailTipL, kTailR, kTailTipR,
  kArmL, kElbowL, kHandL, kArmR, kElbowR, kHandR,
  kLegL, kKneeL, kLegR, kKneeR,
  kJointCount
};

// Where the painted face sits in texture space (u right, v up; the head's
// front is projected onto it along z). The face texture and the eyelid and
// mouth meshes laid over it both read these.
struct FaceLayout {
  static constexpr double kEyeU = 0.18;  // eyes at 0.5 -/+ this
  static constexpr double kEyeV = 0.43;
  static constexpr double kEyeHalfWidth = 0.1;
  static constexpr double kEyeHalfHeight = 0.125;
  static constexpr double kMouthV = 0.255;
  static constexpr double kMouthHalfWidth = 0.042;
  static constexpr double kBlushU = 0.275;
  static constexpr double kBlushV = 0.33;
  // A corner of the texture outside the projected face holds the eyelid's
  // skin, fading to a dark lash line at v = 0.
  static constexpr double kLidStripU0 = 0.02, kLidStripU1 = 0.10;
  static constexpr double kLidStripTop = 0.11, kLidLashV = 0.012, kLidLashTop = 0.028;
};

// The joints with their bind-pose positions and rotation limits; curves empty.
std::vector<JointSpec> buildSkeleton();

// Every mesh in drawing order (things behind first, so that the outlines of
// nearer parts are drawn over them), then the click targets, the bounding
// box and the blend targets.
std::vector<MeshSpec> buildMeshes();

// Names of the meshes and textures the rest of the bundle refers to.
inline constexpr const char* kFaceTexture = "face.tga";
inline constexpr const char* kBodyTexture = "body_tex";
inline constexpr const char* kBlinkBase = "eyelids";
inline constexpr const char* kBlinkTarget = "eyelids_blink";
inline constexpr const char* kMouthBase = "mouth";
inline constexpr const char* kMouthTarget = "mouth_open";
inline constexpr const char* kPickHead = "pick_head";
// The head's click target names the head joint, so that a double-click
// while paused selects it for posing, and the head-pat action, which takes
// the joint's name so that a right-click on the same target starts it.
inline constexpr const char* kHeadJoint = "head";
inline constexpr const char* kPickBody = "pick_body";

}  // namespace vashel::sample
