// Keyframes of the sample character's actions, and its cameras and lights.
#include "tools/make_sample/motion.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

#include "tools/make_sample/character.h"

namespace vashel::sample {

void Timeline::beginAction(int start, int end) {
  if (open_ || end <= start) throw std::logic_error("bad action range");
  start_ = start;
  end_ = end;
  open_ = true;
  touched_.clear();
  boundaries_.insert(start);
  boundaries_.insert(end);
}

void Timeline::key(int channel, int frame, double value) {
  if (!open_ || frame < 0 || start_ + frame > end_) {
    throw std::logic_error("key outside its action at frame " + std::to_string(start_ + frame));
  }
  keys_.at(channel)[start_ + frame] = value;
  touched_.insert(channel);
}

void Timeline::endAction() {
  for (int channel : touched_) {
    keys_[channel].emplace(start_, rest_[channel]);
    keys_[channel].emplace(end_, rest_[channel]);
  }
  open_ = false;
}

Curve Timeline::curve(int channel, bool smooth, int restFrame) const {
  Curve c;
  const auto& keys = keys_.at(channel);
  if (keys.empty()) {
    c.keys.push_back({static_cast<double>(restFrame), rest_[channel], 0.0});
    return c;
  }
  std::vector<std::pair<int, double>> list(keys.begin(), keys.end());
  for (size_t i = 0; i < list.size(); ++i) {
    double tangent = 0.0;
    if (smooth && i > 0 && i + 1 < list.size() && !boundaries_.count(list[i].first)) {
      const double d1 = (list[i].second - list[i - 1].second) / (list[i].first - list[i - 1].first);
      const double d2 = (list[i + 1].second - list[i].second) / (list[i + 1].first - list[i].first);
      // A harmonic mean keeps the segment monotone between its keys.
      if (d1 * d2 > 0.0) tangent = std::atan(2.0 * d1 * d2 / (d1 + d2)) * 180.0 / kPi;
    }
    c.keys.push_back({static_cast<double>(list[i].first), list[i].second, tangent});
  }
  return c;
}

namespace {

enum Axis { TX, TY, TZ, RX, RY, RZ };

constexpr int kBlinkChannel = kJointCount * 6;
constexpr int kMouthChannel = kBlinkChannel + 1;

using Keys = std::initializer_list<std::pair<int, double>>;

// Keys for one action, written with frames relative to its start.
class ActionKeys {
 public:
  ActionKeys(Timeline& timeline, int start, int end) : timeline_(timeline) { timeline_.beginAction(start, end); }
  ~ActionKeys() { timeline_.endAction(); }

  // Rotation in degrees.
  void rot(int joint, Axis axis, Keys keys) { set(joint * 6 + axis, keys, 0.0); }
  // Translation as an offset from the joint's rest position.
  void move(int joint, Axis axis, Keys keys) { set(joint * 6 + axis, keys, timeline_.rest(joint * 6 + axis)); }
  // The same rotation keys on the left joint and, mirrored, on the right one.
  void mirrored(int left, int right, Axis axis, Keys keys) {
    rot(left, axis, keys);
    for (const auto& [frame, value] : keys) {
      timeline_.key(right * 6 + axis, frame, axis == RX ? value : -value);
    }
  }
  void blink(Keys keys) { set(kBlinkChannel, keys, 0.0); }
  void mouth(Keys keys) { set(kMouthChannel, keys, 0.0); }

 private:
  void set(int channel, Keys keys, double base) {
    for (const auto& [frame, value] : keys) timeline_.key(channel, frame, base + value);
  }
  Timeline& timeline_;
};

// A quick blink starting `at` frames into an action.
void blinkAt(ActionKeys& a, int at) { a.blink({{at, 0}, {at + 2, 1}, {at + 3, 1}, {at + 5, 0}}); }

void idle(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Breathing: the chest lifts, the shoulders rise, the head sways a little.
  a.rot(kSpine, RX, {{44, -1.5}});
  a.rot(kNeck, RX, {{44, 1.0}});
  a.rot(kHead, RZ, {{44, 2.5}});
  a.rot(kArmL, RZ, {{44, 2.5}});
  a.rot(kArmR, RZ, {{44, -2.5}});
  a.move(kArmL, TY, {{44, 0.25}});
  a.move(kArmR, TY, {{44, 0.25}});
  a.mirrored(kTailL, kTailR, RZ, {{46, 3.0}});
  a.mirrored(kTailTipL, kTailTipR, RZ, {{52, 4.0}});
  blinkAt(a, 58);
}

void lookAround(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  a.rot(kNeck, RY, {{15, 28}, {35, 28}, {55, -28}, {70, -28}, {86, 0}});
  a.rot(kHead, RY, {{15, 10}, {35, 10}, {55, -10}, {70, -10}, {86, 0}});
  a.rot(kHead, RZ, {{15, -5}, {35, -5}, {55, 5}, {70, 5}, {86, 0}});
  a.rot(kSpine, RY, {{15, 6}, {35, 6}, {55, -6}, {70, -6}, {86, 0}});
  a.mirrored(kTailL, kTailR, RZ, {{18, -4}, {28, 3}, {58, 5}, {72, -3}, {84, 0}});
  blinkAt(a, 40);
}

void stretch(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Arms up and out (a big head is in the way of straight up), lean back, yawn.
  a.mirrored(kArmL, kArmR, RZ, {{22, 100}, {50, 104}, {62, 100}, {84, 0}});
  a.mirrored(kArmL, kArmR, RX, {{22, -30}, {50, -32}, {62, -30}, {84, 0}});
  a.mirrored(kElbowL, kElbowR, RZ, {{22, 12}, {50, 16}, {84, 0}});
  a.rot(kSpine, RX, {{22, -6}, {46, -9}, {62, -4}, {84, 0}});
  a.rot(kNeck, RX, {{22, -8}, {46, -10}, {62, -4}, {84, 0}});
  a.rot(kSpine, RZ, {{48, 0}, {54, 7}, {61, -7}, {68, 0}});
  a.blink({{6, 0}, {12, 1}, {62, 1}, {68, 0}});
  a.mouth({{8, 0}, {20, 0.85}, {42, 0.9}, {56, 0}});
}

void jump(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Crouch, take off, tuck, land, crouch, stand. A crouch of angle c drops the
  // hips by about 21 (1 - cos c), keeping the feet on the floor.
  a.move(kHips, TY, {{8, -1.3}, {12, 0}, {24, 0}, {30, -0.9}, {38, 0}});
  a.mirrored(kLegL, kLegR, RX, {{8, -20}, {12, 0}, {18, -12}, {24, 0}, {30, -17}, {38, 0}});
  a.mirrored(kKneeL, kKneeR, RX, {{8, 40}, {12, 0}, {18, 28}, {24, 0}, {30, 34}, {38, 0}});
  a.move(kRoot, TY, {{8, 0}, {18, 13}, {27, 0}});
  a.rot(kSpine, RX, {{8, 10}, {14, -4}, {24, 0}, {30, 8}, {38, 0}});
  a.mirrored(kArmL, kArmR, RZ, {{8, -10}, {16, 70}, {24, 40}, {30, 10}, {38, 0}});
  a.mirrored(kArmL, kArmR, RX, {{8, 30}, {16, -10}, {24, 0}});
  a.mirrored(kTailL, kTailR, RZ, {{10, 0}, {18, 10}, {28, -8}, {36, 4}, {43, 0}});
  a.mirrored(kTailTipL, kTailTipR, RZ, {{12, 0}, {20, 12}, {30, -10}, {38, 4}, {44, 0}});
  a.mouth({{10, 0}, {14, 0.6}, {22, 0.6}, {27, 0}});
}

void nod(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  a.rot(kHead, RX, {{8, 14}, {15, 0}, {23, 14}, {31, 0}});
  a.rot(kNeck, RX, {{8, 6}, {15, 0}, {23, 6}, {31, 0}});
  a.mouth({{6, 0}, {10, 0.3}, {24, 0.3}, {30, 0}});
  blinkAt(a, 8);
}

void dance(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Eight beats at 120 per minute, arms pumping in turn, a sway, a step on
  // every beat, then a twirl.
  a.rot(kArmL, RZ, {{12, 65}, {27, 15}, {42, 65}, {57, 15}, {72, 65}, {87, 15}, {100, 0}});
  a.rot(kArmR, RZ, {{12, -15}, {27, -65}, {42, -15}, {57, -65}, {72, -15}, {87, -65}, {100, 0}});
  a.rot(kElbowL, RZ, {{12, 35}, {27, 5}, {42, 35}, {57, 5}, {72, 35}, {87, 5}, {100, 0}});
  a.rot(kElbowR, RZ, {{12, -5}, {27, -35}, {42, -5}, {57, -35}, {72, -5}, {87, -35}, {100, 0}});
  a.rot(kSpine, RZ, {{12, 6}, {27, -6}, {42, 6}, {57, -6}, {72, 6}, {87, -6}, {100, 0}});
  a.rot(kHead, RZ, {{12, -5}, {27, 5}, {42, -5}, {57, 5}, {72, -5}, {87, 5}, {100, 0}});
  a.rot(kLegL, RX, {{4, 0}, {12, -12}, {20, 0}, {34, 0}, {42, -12}, {50, 0}, {64, 0}, {72, -12}, {80, 0}});
  a.rot(kKneeL, RX, {{4, 0}, {12, 22}, {20, 0}, {34, 0}, {42, 22}, {50, 0}, {64, 0}, {72, 22}, {80, 0}});
  a.rot(kLegR, RX, {{19, 0}, {27, -12}, {35, 0}, {49, 0}, {57, -12}, {65, 0}, {79, 0}, {87, -12}, {95, 0}});
  a.rot(kKneeR, RX, {{19, 0}, {27, 22}, {35, 0}, {49, 0}, {57, 22}, {65, 0}, {79, 0}, {87, 22}, {95, 0}});
  // The twirl ends on a full turn one frame before the end, so the last
  // step back to 0 is the same pose.
  a.rot(kRoot, RY, {{90, 0}, {112, 360}, {119, 360}});
  a.mirrored(kTailL, kTailR, RZ,
             {{14, -6}, {29, 8}, {44, -6}, {59, 8}, {74, -6}, {89, 8}, {100, 0}, {106, 18}, {114, 10}, {119, 0}});
  a.mirrored(kTailTipL, kTailTipR, RZ, {{17, -6}, {32, 8}, {47, -6}, {62, 8}, {77, -6}, {92, 8}, {104, 0}, {110, 14}, {119, 0}});
  a.mouth({{10, 0}, {12, 0.5}, {18, 0.1}, {27, 0.5}, {33, 0.1}, {42, 0.5}, {48, 0},
           {70, 0}, {72, 0.5}, {78, 0.1}, {87, 0.5}, {93, 0}});
  blinkAt(a, 60);
}

void tickle(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Giggling with eyes shut, hugging the tummy, wriggling.
  a.blink({{2, 0}, {5, 1}, {70, 1}, {74, 0}});
  a.mouth({{3, 0}, {8, 0.85}, {14, 0.45}, {20, 0.9}, {26, 0.45}, {32, 0.9}, {38, 0.45}, {44, 0.9}, {50, 0.45},
           {56, 0.85}, {66, 0.3}, {72, 0}});
  a.rot(kSpine, RX, {{8, 10}, {62, 10}, {74, 0}});
  a.rot(kSpine, RZ, {{8, 0}, {14, 5}, {20, -5}, {26, 5}, {32, -5}, {38, 5}, {44, -5}, {50, 5}, {56, -4}, {64, 0}});
  a.rot(kHead, RZ, {{8, 0}, {14, -6}, {20, 6}, {26, -6}, {32, 6}, {38, -6}, {44, 6}, {50, -6}, {56, 4}, {64, 0}});
  a.mirrored(kArmL, kArmR, RX, {{8, -35}, {62, -35}, {74, 0}});
  a.mirrored(kArmL, kArmR, RZ, {{8, -14}, {62, -14}, {74, 0}});
  a.mirrored(kElbowL, kElbowR, RX, {{8, -60}, {62, -60}, {74, 0}});
  a.mirrored(kTailL, kTailR, RZ, {{14, 5}, {20, -4}, {26, 5}, {32, -4}, {38, 5}, {44, -4}, {50, 5}, {62, 0}});
}

void pat(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Head bowed to be patted, eyes closed happily, hands clasped, bouncing.
  a.blink({{8, 0}, {12, 1}, {64, 1}, {68, 0}});
  a.mouth({{10, 0}, {16, 0.35}, {60, 0.35}, {66, 0}});
  a.rot(kHead, RX, {{10, 8}, {62, 8}, {74, 0}});
  a.rot(kHead, RZ, {{10, 6}, {28, -6}, {46, 6}, {62, 0}});
  a.rot(kNeck, RX, {{10, 4}, {62, 4}, {74, 0}});
  a.rot(kSpine, RZ, {{10, 0}, {28, 3}, {46, -3}, {62, 0}});
  a.mirrored(kArmL, kArmR, RX, {{12, -20}, {62, -20}, {74, 0}});
  a.mirrored(kArmL, kArmR, RZ, {{12, -12}, {62, -12}, {74, 0}});
  a.mirrored(kElbowL, kElbowR, RX, {{12, -55}, {62, -55}, {74, 0}});
  a.move(kHips, TY, {{14, 0}, {20, -0.5}, {26, 0}, {34, -0.5}, {40, 0}});
  a.mirrored(kLegL, kLegR, RX, {{14, 0}, {20, -6}, {26, 0}, {34, -6}, {40, 0}});
  a.mirrored(kKneeL, kKneeR, RX, {{14, 0}, {20, 12}, {26, 0}, {34, 12}, {40, 0}});
}

void greeting(Timeline& t, int s, int e) {
  ActionKeys a(t, s, e);
  // Raise the right hand beside the head and wave, saying hello.
  a.rot(kArmR, RZ, {{15, -80}, {70, -80}, {86, 0}});
  a.rot(kArmR, RX, {{15, -20}, {70, -20}, {86, 0}});
  a.rot(kElbowR, RZ, {{15, -20}, {24, -48}, {33, -15}, {42, -48}, {51, -15}, {60, -48}, {70, -30}, {86, 0}});
  a.rot(kHandR, RZ, {{15, 0}, {24, -12}, {33, 8}, {42, -12}, {51, 8}, {60, -12}, {70, 0}});
  a.rot(kArmL, RZ, {{15, 6}, {70, 6}});
  a.rot(kHead, RZ, {{15, 6}, {70, 6}, {86, 0}});
  a.rot(kSpine, RZ, {{15, 3}, {70, 3}, {86, 0}});
  a.rot(kTailR, RZ, {{15, -4}, {70, -4}});
  a.mouth({{16, 0}, {19, 0.6}, {22, 0.15}, {25, 0.6}, {29, 0}, {44, 0}, {47, 0.5}, {50, 0.1}, {53, 0.5}, {57, 0}});
  blinkAt(a, 36);
}

struct ActionPlan {
  int slot;
  const char* name;
  int start, end;
  const char* camera;
  const char* sound;
  void (*keys)(Timeline&, int, int);
};

// The frame layout: each action has its own stretch of the timeline.
const ActionPlan kPlan[] = {
    {0, "idle", 1, 90, "persp", "", idle},
    {1, "look", 100, 190, "persp", "", lookAround},
    {2, "stretch", 200, 290, "persp", "stretch.wav", stretch},
    {3, "jump", 300, 345, "persp", "hop.wav", jump},
    {4, "nod", 355, 400, "persp", "", nod},
    {5, "dance", 410, 530, "persp", "dance.wav", dance},
    {10, "tickle", kCloseUpStart, kCloseUpEnd, "closeup", "giggle.wavz", tickle},
    {11, kHeadJoint, 630, 710, "persp", "pat.wav", pat},
    {99, "greeting", 720, 810, "persp", "chime.wav", greeting},
};

Curve constant(double value) { return Curve{{{1.0, value, 0.0}}}; }

Curve linear(std::initializer_list<std::pair<double, double>> keys) {
  Curve c;
  for (const auto& [time, value] : keys) c.keys.push_back({time, value, 0.0});
  return c;
}

}  // namespace

Motion buildMotion(const std::vector<JointSpec>& joints) {
  std::vector<double> rest(kMouthChannel + 1, 0.0);
  for (int j = 0; j < kJointCount; ++j) {
    const Vec3 local = joints[j].world - (joints[j].parent >= 0 ? joints[joints[j].parent].world : Vec3{});
    rest[j * 6 + TX] = local.x;
    rest[j * 6 + TY] = local.y;
    rest[j * 6 + TZ] = local.z;
  }
  Timeline timeline(rest);
  Motion motion;
  for (const ActionPlan& plan : kPlan) {
    plan.keys(timeline, plan.start, plan.end);
    motion.actions.push_back({plan.slot, plan.name, plan.start, plan.end, plan.camera, plan.sound});
    motion.endFrame = std::max(motion.endFrame, plan.end + 10);
  }
  motion.startFrame = 1;
  motion.joints.resize(kJointCount);
  for (int j = 0; j < kJointCount; ++j) {
    for (int slot = 0; slot < 6; ++slot) {
      motion.joints[j][slot] = timeline.curve(j * 6 + slot, true, motion.startFrame);
    }
  }
  motion.blink = timeline.curve(kBlinkChannel, false, motion.startFrame);
  motion.mouthOpen = timeline.curve(kMouthChannel, false, motion.startFrame);
  return motion;
}

std::vector<CameraSpec> buildCameras() {
  // The whole figure, jumps and twirls included, fills a 240 x 320 window.
  constexpr double kVfov = 17.6, kY = 52.0, kZ = 400.0;
  CameraSpec persp{"persp", kVfov, {}};
  persp.curves = {constant(0.0), constant(kY), constant(kZ), constant(0.0), constant(0.0), constant(0.0)};
  // The close-up dollies in on the face during its action and is the wide
  // view at every other frame: the player keeps the last action's camera
  // while sequences play, and the view must not stay zoomed in.
  const double a = kCloseUpStart, b = kCloseUpStart + 9, c = kCloseUpEnd - 14, d = kCloseUpEnd - 2;
  CameraSpec closeUp{"closeup", kVfov, {}};
  closeUp.curves = {constant(0.0), linear({{a, kY}, {b, 66.0}, {c, 66.0}, {d, kY}}),
                    linear({{a, kZ}, {b, 245.0}, {c, 245.0}, {d, kZ}}), constant(0.0), constant(0.0),
                    constant(0.0)};
  return {persp, closeUp};
}

std::vector<LightSpec> buildLights() {
  LightSpec fill{"ambient", "fill", {1.0, 1.0, 1.0, 0.0}, 0.42, {}};
  // From the upper right of the viewer, in front.
  LightSpec key{"directional", "key", {1.0, 0.97, 0.93, 0.0}, 0.62, {}};
  key.curves[RX] = constant(-35.0);
  key.curves[RY] = constant(25.0);
  return {fill, key};
}

}  // namespace vashel::sample
