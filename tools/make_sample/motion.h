// The sample character's animation: one timeline of keyed curves holding
// every action's frames one after another, the action table over it, and
// the cameras and lights.
#pragma once

#include <map>
#include <set>
#include <vector>

#include "tools/make_sample/sample_scene.h"

namespace vashel::sample {

// Collects keys per channel, action by action. Every channel an action
// touches rests at the action's first and last frame, so actions can follow
// each other in any order without a jump.
class Timeline {
 public:
  explicit Timeline(std::vector<double> rest) : rest_(std::move(rest)), keys_(rest_.size()) {}

  void beginAction(int start, int end);
  // frame is relative to the action's start; value is absolute.
  void key(int channel, int frame, double value);
  void endAction();

  // Keys in time order. Smooth curves get tangents that pass through
  // in-between keys without overshooting and rest flat at extremes and action
  // boundaries; other curves (read linearly) get flat tangents. A channel
  // without keys is one key at `restFrame` holding its rest value.
  Curve curve(int channel, bool smooth, int restFrame) const;

  double rest(int channel) const { return rest_[channel]; }

 private:
  std::vector<double> rest_;
  std::vector<std::map<int, double>> keys_;
  std::set<int> boundaries_;
  std::set<int> touched_;
  int start_ = 0, end_ = 0;
  bool open_ = false;
};

struct Motion {
  std::vector<NodeCurves> joints;  // per joint, translate X..Z then rotate X..Z (degrees)
  Curve blink, mouthOpen;          // blend weights 0..1
  std::vector<ActionSpec> actions;
  int startFrame = 1, endFrame = 1;
};

// Curves and actions for the skeleton of buildSkeleton().
Motion buildMotion(const std::vector<JointSpec>& joints);

std::vector<CameraSpec> buildCameras();
std::vector<LightSpec> buildLights();

// Frames of the action that the close-up camera zooms in on.
inline constexpr int kCloseUpStart = 540, kCloseUpEnd = 620;

}  // namespace vashel::sample
