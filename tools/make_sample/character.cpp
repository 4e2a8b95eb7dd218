// The sample character, built procedurally: a chibi girl about 98 units
// tall standing on y = 0 and facing +z, with a big round head, twin tails,
// a dress, stubby arms and legs.
#include "tools/make_sample/character.h"

#include <algorithm>
#include <cmath>

namespace vashel::sample {
namespace {

// ---- proportions -------------------------------------------------------------

constexpr double kHeadCy = 67.0;  // centre of the head
constexpr double kHeadRx = 23.0, kHeadRy = 21.0, kHeadRz = 21.0;

constexpr double kArmAngle = 18.0;  // degrees out from straight down, both arms
constexpr double kUpperArm = 7.0, kForearm = 6.3;
const Vec3 kShoulderPos{9.0, 43.5, 0.0};
const Vec3 kLegTopPos{4.2, 24.0, 0.0};
const Vec3 kKneePos{4.2, 13.0, 0.0};

double mixd(double a, double b, double t) { return a + (b - a) * t; }

Vec3 mirror(Vec3 p, double side) { return {p.x * side, p.y, p.z}; }

Weights only(int joint) { return {{joint, 1.0}}; }

// Weight moving from joint a to joint b as x runs from x0 to x1.
Weights between(int a, int b, double x0, double x1, double x) {
  const double t = smoothstep(x0, x1, x);
  return tidyWeights({{a, 1.0 - t}, {b, t}});
}

Vec3 armDirection(double side) {
  return {side * std::sin(radians(kArmAngle)), -std::cos(radians(kArmAngle)), 0.0};
}

// ---- the head surface ----------------------------------------------------------

// The lower half narrows towards a soft chin.
double jawScale(double y) {
  const double t = clamp01((kHeadCy - y) / kHeadRy);
  return 1.0 - 0.14 * t * t;
}

// theta around y (0 = front, towards +x positive), phi from the top.
Vec3 headPoint(double theta, double phi, double scale = 1.0) {
  const double yUnit = std::cos(phi);
  const double r = std::sin(phi);
  const double jaw = jawScale(kHeadCy + kHeadRy * yUnit);
  return {kHeadRx * jaw * r * std::sin(theta) * scale, kHeadCy + kHeadRy * yUnit * scale,
          kHeadRz * r * std::cos(theta) * scale};
}

double headImplicit(Vec3 p) {
  const double x = p.x / (kHeadRx * jawScale(p.y));
  const double y = (p.y - kHeadCy) / kHeadRy;
  const double z = p.z / kHeadRz;
  return x * x + y * y + z * z;
}

Vec3 headNormalAt(Vec3 p) {
  const double h = 1e-4;
  return normalize({headImplicit(p + Vec3{h, 0, 0}) - headImplicit(p - Vec3{h, 0, 0}),
                    headImplicit(p + Vec3{0, h, 0}) - headImplicit(p - Vec3{0, h, 0}),
                    headImplicit(p + Vec3{0, 0, h}) - headImplicit(p - Vec3{0, 0, h})});
}

// The point of the head's front that the face texture puts at (u, v).
Vec3 facePoint(double u, double v) {
  const double x = (u - 0.5) * 2.0 * kHeadRx;
  const double y = kHeadCy + (v - 0.5) * 2.0 * kHeadRy;
  const double xs = x / (kHeadRx * jawScale(y));
  const double ys = (y - kHeadCy) / kHeadRy;
  return {x, y, kHeadRz * std::sqrt(std::max(0.0, 1.0 - xs * xs - ys * ys))};
}

// Face texture coordinates: a projection of the front along z. The back half
// maps onto the rim of the projected disc, which is plain skin, so that the
// face does not appear a second time behind the hair.
std::array<double, 2> headUv(Vec3 p) {
  const double u = p.x / kHeadRx, v = (p.y - kHeadCy) / kHeadRy;
  if (p.z >= 0.0) return {0.5 + 0.5 * u, 0.5 + 0.5 * v};
  const double l = std::sqrt(u * u + v * v);
  if (l < 1e-6) return {0.99, 0.5};
  return {0.5 + 0.49 * u / l, 0.5 + 0.49 * v / l};
}

// ---- primitives ------------------------------------------------------------------

// Points below floorY are pressed up onto it (a flat sole).
void addEllipsoid(MeshData& mesh, Vec3 center, Vec3 radii, int columns, int rows,
                  const std::function<Weights(Vec3)>& weights, double floorY = -1e9) {
  addGrid(mesh, columns, rows, [&](double s, double t) {
    const double theta = -kPi + 2.0 * kPi * s, phi = kPi * t;
    Vec3 p = center + Vec3{radii.x * std::sin(phi) * std::sin(theta), radii.y * std::cos(phi),
                           radii.z * std::sin(phi) * std::cos(theta)};
    p.y = std::max(p.y, floorY);
    return GridPoint{p, s, 1.0 - t, weights(p), p - center};
  });
}

// A tube around a spline. radius(t) may be 0 at either end to close it.
void addTube(MeshData& mesh, const std::vector<Vec3>& path, int columns, int rows,
             const std::function<double(double)>& radius, Vec3 reference,
             const std::function<Weights(double t, Vec3 p)>& weights) {
  addGrid(mesh, columns, rows, [&](double s, double t) {
    const double e = 1e-3;
    const Vec3 c = splinePoint(path, t);
    const Vec3 tangent = normalize(splinePoint(path, std::min(1.0, t + e)) -
                                   splinePoint(path, std::max(0.0, t - e)));
    const Vec3 n = normalize(cross(tangent, reference));
    const Vec3 b = cross(n, tangent);
    const double a = 2.0 * kPi * s;
    const Vec3 offset = (n * std::cos(a) + b * std::sin(a)) * radius(t);
    return GridPoint{c + offset, s, t, weights(t, c + offset), n * std::cos(a) + b * std::sin(a)};
  });
}

void addBox(MeshData& mesh, Vec3 lo, Vec3 hi, const Weights& weights) {
  const int first = mesh.vertexCount();
  for (int i = 0; i < 8; ++i) {
    mesh.addVertex({i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z}, 0.0, 0.0, weights);
  }
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    mesh.faces.push_back({first + q[0], first + q[1], first + q[2], first + q[3]});
  }
}

Material plain(Color c, double edge) {
  Material m;
  m.color = c;
  m.ambient = c;
  m.edgeLevel = edge;
  return m;
}

Material textured(const char* texture, double edge) {
  Material m;
  m.texture = texture;
  m.color = {1.0, 1.0, 1.0, 1.0};
  m.ambient = {1.0, 1.0, 1.0, 1.0};
  m.edgeLevel = edge;
  return m;
}

constexpr Color kSkin{1.0, 0.88, 0.82, 1.0};
constexpr Color kDressBlue{0.62, 0.78, 0.96, 1.0};
constexpr Color kHair{0.98, 0.72, 0.79, 1.0};
constexpr Color kShoe{0.58, 0.30, 0.38, 1.0};
constexpr Color kRibbon{1.0, 0.85, 0.42, 1.0};
constexpr double kOutline = 0.5;
// Faces are lit flatter than the rest, as drawn faces are.
constexpr Color kFaceGlow{0.12, 0.11, 0.11, 1.0};

// ---- parts -------------------------------------------------------------------------

std::vector<Vec3> tailPath(double side) {
  return {mirror({16.5, 80.5, -3.5}, side), mirror({23.5, 79.5, -5.0}, side),
          mirror({28.5, 71.0, -6.5}, side), mirror({30.0, 60.0, -6.5}, side),
          mirror({28.5, 49.0, -5.5}, side), mirror({25.0, 40.5, -4.0}, side)};
}

// 1 at the middle of a strand of hair, 0 between strands (every 15 degrees).
double strandTip(double thetaDegrees) { return std::pow(1.0 - std::fabs(std::sin(kPi * thetaDegrees / 15.0)), 1.5); }

constexpr double kTailJointAt = 0.15, kTailTipAt = 0.55;

MeshSpec legs() {
  MeshSpec piece;
  piece.data.name = "legs";
  for (double side : {1.0, -1.0}) {
    const int leg = side > 0 ? kLegL : kLegR, knee = side > 0 ? kKneeL : kKneeR;
    const Vec3 top = mirror(kLegTopPos, side);
    addTube(piece.data, {top + Vec3{0, 1.5, 0}, mirror(kKneePos, side), mirror({4.3, 1.8, 0.2}, side)}, 10, 10,
            [](double t) { return mixd(3.0, 2.3, t); }, {0, 0, 1}, [&](double, Vec3 p) {
              if (p.y > 20.0) return between(leg, kHips, 22.0, 27.0, p.y);
              return between(knee, leg, 11.5, 14.5, p.y);
            });
  }
  piece.material = plain(kSkin, 0.45);
  return piece;
}

// White socks with a turned-down cuff over the lower legs.
MeshSpec socks() {
  MeshSpec piece;
  piece.data.name = "socks";
  for (double side : {1.0, -1.0}) {
    const int knee = side > 0 ? kKneeL : kKneeR;
    addTube(piece.data, {mirror({4.25, 9.8, 0.08}, side), mirror({4.3, 1.4, 0.2}, side)}, 10, 5,
            [](double t) { return t < 0.15 ? 3.15 : mixd(2.85, 2.62, t); }, {0, 0, 1},
            [&](double, Vec3) { return only(knee); });
  }
  piece.material = plain({0.98, 0.98, 1.0, 1.0}, 0.4);
  return piece;
}

MeshSpec shoes() {
  MeshSpec piece;
  piece.data.name = "shoes";
  for (double side : {1.0, -1.0}) {
    const int knee = side > 0 ? kKneeL : kKneeR;
    addEllipsoid(piece.data, mirror({4.4, 2.2, 1.2}, side), {3.1, 2.4, 4.4}, 10, 6,
                 [&](Vec3) { return only(knee); }, 0.0);
  }
  piece.material = plain(kShoe, 0.45);
  piece.material.specular = {0.35, 0.35, 0.35, 1.0};
  piece.material.cosinePower = 30.0;
  return piece;
}

MeshSpec dress() {
  MeshSpec piece;
  piece.data.name = "dress";
  // (rx, y, rz) down the body, from the collar to the hem.
  const std::vector<Vec3> profile{
      {2.8, 47.2, 2.6},  {6.0, 46.3, 4.5},  {8.6, 44.8, 5.6},   {9.2, 42.5, 6.2},
      {8.8, 39.0, 6.4},  {7.8, 35.5, 6.0},  {7.5, 33.0, 5.8},   {8.4, 31.0, 6.5},
      {10.6, 27.5, 8.4}, {12.6, 24.0, 10.2}, {14.0, 21.0, 11.4}, {14.3, 20.3, 11.7}};
  constexpr int kProfileRows = 16, kLipRows = 2;
  addGrid(piece.data, 24, kProfileRows + kLipRows, [&](double s, double t) {
    const int row = static_cast<int>(std::lround(t * (kProfileRows + kLipRows)));
    Vec3 r = splinePoint(profile, std::min(1.0, static_cast<double>(row) / kProfileRows));
    int inward = 0;  // 0: outer surface, 1 and 2: the hem rolled under
    if (row > kProfileRows) {
      inward = row - kProfileRows;
      const double shrink = inward == 1 ? 0.975 : 0.94;
      r = {r.x * shrink, row == kProfileRows + 1 ? r.y - 0.4 : r.y + 0.3, r.z * shrink};
    }
    const double theta = -kPi + 2.0 * kPi * s;
    const Vec3 p{r.x * std::sin(theta), r.y, r.z * std::cos(theta)};
    const Vec3 radial{std::sin(theta), 0.0, std::cos(theta)};
    const Vec3 outward = inward == 0 ? radial : inward == 1 ? Vec3{0, -1, 0} : radial * -1.0;
    Weights w = between(kHips, kSpine, 31.0, 37.0, p.y);
    const double shoulder = 0.35 * smoothstep(6.5, 9.0, std::fabs(p.x)) * smoothstep(40.0, 43.0, p.y);
    if (shoulder > 0.0) {
      for (Weight& x : w) x.weight *= 1.0 - shoulder;
      w.push_back({p.x > 0 ? kArmL : kArmR, shoulder});
      w = tidyWeights(w);
    }
    return GridPoint{p, s, clamp01((p.y - 20.0) / 27.5), w, outward};
  });
  piece.material = textured(kBodyTexture, kOutline);
  return piece;
}

MeshSpec arms() {
  MeshSpec piece;
  piece.data.name = "arms";
  // The neck belongs to the bare skin too.
  addTube(piece.data, {{0, 43.5, 0}, {0, 51.0, 0}}, 10, 2, [](double) { return 2.7; }, {0, 0, 1},
          [](double, Vec3 p) {
            return p.y < 47.5 ? between(kSpine, kNeck, 44.0, 46.5, p.y) : between(kNeck, kHead, 48.0, 51.0, p.y);
          });
  for (double side : {1.0, -1.0}) {
    const int arm = side > 0 ? kArmL : kArmR, elbow = side > 0 ? kElbowL : kElbowR,
              hand = side > 0 ? kHandL : kHandR;
    const Vec3 s = mirror(kShoulderPos, side), d = armDirection(side);
    const double length = kUpperArm + kForearm + 0.4;
    addTube(piece.data, {s - d * 0.6, s + d * length}, 10, 10, [](double t) { return mixd(2.3, 1.85, t); },
            {0, 0, 1}, [&](double, Vec3 p) {
              const double along = dot(p - s, d);
              if (along < kUpperArm + 1.5) return between(arm, elbow, kUpperArm - 1.2, kUpperArm + 1.2, along);
              return between(elbow, hand, length - 1.4, length - 0.2, along);
            });
    // A mitten hand, flat towards the body.
    const Vec3 palm = s + d * (kUpperArm + kForearm + 1.9);
    addEllipsoid(piece.data, palm, {1.8, 2.7, 2.2}, 10, 6, [&](Vec3) { return only(hand); });
  }
  piece.material = plain(kSkin, 0.45);
  return piece;
}

MeshSpec sleeves() {
  MeshSpec piece;
  piece.data.name = "sleeves";
  for (double side : {1.0, -1.0}) {
    const int arm = side > 0 ? kArmL : kArmR;
    const Vec3 center = mirror(kShoulderPos, side) + armDirection(side) * 1.4;
    addEllipsoid(piece.data, center, {3.9, 3.5, 3.9}, 10, 6, [&](Vec3) { return only(arm); });
  }
  piece.material = plain(kDressBlue, 0.45);
  return piece;
}

MeshSpec head() {
  MeshSpec piece;
  piece.data.name = "head";
  addGrid(piece.data, 28, 16, [](double s, double t) {
    const Vec3 p = headPoint(-kPi + 2.0 * kPi * s, kPi * t);
    const auto uv = headUv(p);
    return GridPoint{p, uv[0], uv[1], only(kHead), p - Vec3{0, kHeadCy, 0}};
  });
  piece.material = textured(kFaceTexture, kOutline);
  piece.material.emission = kFaceGlow;
  return piece;
}

// Eyelids: open, each lid is folded up into its top edge (no area); blinking
// slides it down over the painted eye, its lower edge a dark lash line.
void eyelids(MeshSpec& open, MeshSpec& closed) {
  open.data.name = kBlinkBase;
  closed.data.name = kBlinkTarget;
  using F = FaceLayout;
  for (double side : {-1.0, 1.0}) {
    const double eu = 0.5 + side * F::kEyeU;
    const auto lid = [&](double s, double t, bool shut) {
      const double x = 2.0 * s - 1.0;
      const double arch = std::sqrt(std::max(0.0, 1.0 - x * x));
      // Wide enough to hide the painted upper lash line too.
      const double top = F::kEyeV + F::kEyeHalfHeight * 1.3 * arch + 0.014;
      const double bottom = F::kEyeV - (F::kEyeHalfHeight + 0.008) * arch * 0.92 - 0.012;
      const double u = eu + x * (F::kEyeHalfWidth + 0.018);
      const double v = shut ? mixd(top, bottom, t) : top;
      const Vec3 surface = facePoint(u, v);
      const Vec3 n = headNormalAt(surface);
      const double lidV = t < 0.75 ? mixd(F::kLidStripTop, 0.05, t / 0.75) : mixd(0.05, F::kLidLashV, (t - 0.75) / 0.25);
      GridPoint g{surface + n * 0.3, mixd(F::kLidStripU0, F::kLidStripU1, s), lidV, only(kHead), n};
      return g;
    };
    GridOptions keep;
    keep.dropDegenerate = false;
    addGrid(open.data, 8, 4, [&](double s, double t) { return lid(s, t, false); }, keep);
    addGrid(closed.data, 8, 4, [&](double s, double t) { return lid(s, t, true); }, keep);
    // Normals of the drawn (open) mesh are those of the shut lid: lighting
    // must match the skin around it whenever the lid shows.
    for (int v = static_cast<int>(open.data.normals.size()); v < closed.data.vertexCount(); ++v) {
      const Vec3 n = headNormalAt(closed.data.positions[v]);
      open.data.normals.push_back(n);
      closed.data.normals.push_back(n);
    }
  }
  // The shut lids decide the winding (the open ones have no area); a target
  // only lends its positions.
  open.data.faces = std::move(closed.data.faces);
  closed.data.faces.clear();
  for (auto& w : closed.data.weights) w.clear();
  open.material = textured(kFaceTexture, 0.0);
  open.material.emission = kFaceGlow;
  closed.hidden = true;
}

// Mouth: closed, folded into one point over the painted smile (no area);
// open, a rounded "D" with a pink tongue.
void mouth(MeshSpec& closedMouth, MeshSpec& openMouth) {
  closedMouth.data.name = kMouthBase;
  openMouth.data.name = kMouthTarget;
  using F = FaceLayout;
  const Vec3 center = facePoint(0.5, F::kMouthV);
  const Vec3 centerNormal = headNormalAt(center);
  const auto shape = [&](double s, double t, bool open) {
    const double a = -kPi + 2.0 * kPi * s;  // -pi/2 is the bottom
    const double du = std::cos(a) * F::kMouthHalfWidth * t;
    const double dv = (std::sin(a) > 0.0 ? 0.014 : 0.052) * std::sin(a) * t;
    const Vec3 surface = facePoint(0.5 + du, F::kMouthV + dv);
    const Vec3 p = open ? surface + headNormalAt(surface) * 0.3 : center + centerNormal * 0.3;
    return GridPoint{p, 0.0, 0.0, only(kHead), centerNormal};
  };
  GridOptions keep;
  keep.dropDegenerate = false;
  addGrid(closedMouth.data, 16, 3, [&](double s, double t) { return shape(s, t, false); }, keep);
  addGrid(openMouth.data, 16, 3, [&](double s, double t) { return shape(s, t, true); }, keep);
  // The open shape decides the winding (the closed one has no area).
  closedMouth.data.faces = std::move(openMouth.data.faces);
  openMouth.data.faces.clear();
  for (auto& w : openMouth.data.weights) w.clear();
  for (int v = 0; v < closedMouth.data.vertexCount(); ++v) {
    const Vec3 n = headNormalAt(openMouth.data.positions[v]);
    closedMouth.data.normals.push_back(n);
    openMouth.data.normals.push_back(n);
    // Dark inside, a pink tongue at the bottom.
    const Vec3 q = openMouth.data.positions[v];
    const double low = smoothstep(center.y - 0.2, center.y - 2.2, q.y);
    closedMouth.data.colors.push_back({mixd(0.42, 0.93, low), mixd(0.10, 0.50, low), mixd(0.14, 0.55, low), 1.0});
  }
  closedMouth.material = plain({0.62, 0.25, 0.30, 1.0}, 0.0);
  openMouth.hidden = true;
}

// The hair's lower edge around the head, in units of the head's half height
// above its centre: bangs over the forehead, long locks beside the cheeks,
// a bob over the ears and the back of the head; every stretch ends in
// pointed strands.
double hairEdge(double thetaDegrees) {
  const double a = std::fabs(thetaDegrees);
  double base = 0.34;
  base = mixd(base, -0.84, smoothstep(40.0, 52.0, a));
  base = mixd(base, -0.62, smoothstep(72.0, 86.0, a));
  base = mixd(base, -0.74, smoothstep(110.0, 130.0, a));
  const double depth = mixd(0.16, 0.10, smoothstep(40.0, 52.0, a));
  return base - depth * strandTip(thetaDegrees);
}

MeshSpec hair() {
  MeshSpec piece;
  piece.data.name = "hair";
  constexpr int kRows = 12, kLip = 2;
  addGrid(piece.data, 56, kRows + kLip, [](double s, double t) {
    // Columns crowd together at the front, where the strands are.
    const double x = 2.0 * s - 1.0;
    const double theta = kPi * x * (0.35 + 0.65 * x * x);
    const double edge = hairEdge(theta * 180.0 / kPi);
    const int row = static_cast<int>(std::lround(t * (kRows + kLip)));
    const double frac = std::min(1.0, static_cast<double>(row) / kRows);
    // Shallow grooves between the strands catch the light; they fade out
    // towards the back, where the columns are too far apart to draw them.
    const double groove = (1.0 - strandTip(theta * 180.0 / kPi)) * (1.0 - smoothstep(50.0, 75.0, std::fabs(theta * 180.0 / kPi)));
    const double scale = 1.085 + 0.035 * frac - 0.022 * groove * std::sqrt(frac);
    const double phiMax = std::acos(std::clamp(edge / scale, -1.0, 1.0));
    double phi = phiMax * frac, shell = scale;
    Vec3 outward;
    if (row == kRows + 1) {
      phi = phiMax + 0.025, shell = scale - 0.04;
    } else if (row == kRows + 2) {
      phi = phiMax - 0.01, shell = 1.02;
    }
    const Vec3 p = headPoint(theta, phi, shell);
    const Vec3 radial = p - Vec3{0, kHeadCy, 0};
    outward = row <= kRows ? radial : row == kRows + 1 ? Vec3{0, -1, 0} : radial * -1.0;
    return GridPoint{p, 0.0, 0.0, only(kHead), outward};
  });
  for (double side : {1.0, -1.0}) {
    const int tail = side > 0 ? kTailL : kTailR, tip = side > 0 ? kTailTipL : kTailTipR;
    addTube(piece.data, tailPath(side), 10, 14,
            [](double t) { return 4.5 * std::pow(std::sin(kPi * std::pow(t, 0.8)), 0.85); }, {0, 0, 1},
            [&](double t, Vec3) {
              if (t < 0.35) return between(kHead, tail, 0.08, 0.3, t);
              return between(tail, tip, 0.5, 0.72, t);
            });
  }
  // A single curl standing up on top.
  addTube(piece.data, {{0.3, 88.0, 1.5}, {1.0, 93.0, 3.5}, {2.8, 96.5, 3.0}, {3.8, 97.0, 0.5}, {3.2, 95.6, -1.2}},
          6, 8, [](double t) { return 0.95 * std::pow(1.0 - t, 0.7) + 0.02; }, {1, 0, 0},
          [](double, Vec3) { return only(kHead); });
  piece.material = plain(kHair, kOutline);
  piece.material.specular = {0.35, 0.35, 0.35, 1.0};
  piece.material.cosinePower = 18.0;
  return piece;
}

// Ribbons tied round the roots of the twin tails, facing the front.
MeshSpec bows() {
  MeshSpec piece;
  piece.data.name = "bows";
  const auto knotOf = [](double side) { return splinePoint(tailPath(side), 0.1) + Vec3{side * 1.2, 1.8, 2.2}; };
  for (double side : {1.0, -1.0}) {
    const Vec3 knot = knotOf(side);
    const auto weights = [](Vec3) { return only(kHead); };
    addEllipsoid(piece.data, knot, {1.4, 1.6, 1.2}, 6, 4, weights);
    addEllipsoid(piece.data, knot + Vec3{2.6, 0.5, -0.3}, {2.6, 1.9, 1.0}, 8, 4, weights);
    addEllipsoid(piece.data, knot + Vec3{-2.6, 0.5, -0.3}, {2.6, 1.9, 1.0}, 8, 4, weights);
  }
  // Deeper yellow at the knot, paler at the ends of the loops.
  for (int v = 0; v < piece.data.vertexCount(); ++v) {
    const Vec3 p = piece.data.positions[v];
    const double far = smoothstep(1.0, 5.0, length(p - knotOf(p.x > 0 ? 1.0 : -1.0)));
    piece.data.colors.push_back({1.0, mixd(0.76, 0.90, far), mixd(0.30, 0.55, far), 1.0});
  }
  piece.material = plain(kRibbon, 0.35);
  return piece;
}

MeshSpec pickTarget(const char* name, const char* action, Vec3 lo, Vec3 hi, int joint) {
  MeshSpec piece;
  piece.data.name = name;
  piece.picking = action;
  addBox(piece.data, lo, hi, only(joint));
  return piece;
}

// The bounding box: eight corners widen the scene's bounds; only its back
// face is a face, so that it catches clicks beside the character without
// hiding the click targets in front of it.
MeshSpec boundingBox() {
  MeshSpec piece;
  piece.data.name = "BBX";
  addBox(piece.data, {-42.0, -2.0, -30.0}, {42.0, 112.0, 30.0}, {});
  piece.data.faces = {{0, 2, 3, 1}};
  return piece;
}

}  // namespace

std::vector<JointSpec> buildSkeleton() {
  std::vector<JointSpec> joints(kJointCount);
  const auto set = [&](JointId id, const char* name, int parent, Vec3 world) {
    joints[id].name = name;
    joints[id].parent = parent;
    joints[id].world = world;
  };
  set(kRoot, "root", -1, {0, 0, 0});
  set(kHips, "hips", kRoot, {0, 25.0, 0});
  set(kSpine, "spine", kHips, {0, 33.0, 0});
  set(kNeck, "neck", kSpine, {0, 45.0, 0});
  set(kHead, kHeadJoint, kNeck, {0, 50.0, 0});
  for (double side : {1.0, -1.0}) {
    const bool left = side > 0;
    const auto path = tailPath(side);
    set(left ? kTailL : kTailR, left ? "tail_L" : "tail_R", kHead, splinePoint(path, kTailJointAt));
    set(left ? kTailTipL : kTailTipR, left ? "tailtip_L" : "tailtip_R", left ? kTailL : kTailR,
        splinePoint(path, kTailTipAt));
    const Vec3 shoulder = mirror(kShoulderPos, side), d = armDirection(side);
    set(left ? kArmL : kArmR, left ? "arm_L" : "arm_R", kSpine, shoulder);
    set(left ? kElbowL : kElbowR, left ? "elbow_L" : "elbow_R", left ? kArmL : kArmR, shoulder + d * kUpperArm);
    set(left ? kHandL : kHandR, left ? "hand_L" : "hand_R", left ? kElbowL : kElbowR,
        shoulder + d * (kUpperArm + kForearm));
    set(left ? kLegL : kLegR, left ? "leg_L" : "leg_R", kHips, mirror(kLegTopPos, side));
    set(left ? kKneeL : kKneeR, left ? "knee_L" : "knee_R", left ? kLegL : kLegR, mirror(kKneePos, side));
  }
  // Rotation limits in degrees (min x, max x, min y, max y, min z, max z):
  // what a hand-posed joint may reach; 0/0 locks an axis.
  const auto limit = [&](JointId id, std::array<double, 6> l) { joints[id].limits = l; };
  limit(kSpine, {-15, 20, -30, 30, -15, 15});
  limit(kNeck, {-20, 25, -40, 40, -20, 20});
  // The head turns and tilts but does not nod by hand: a drag hands its
  // sideways movement to the first free axis, which is then Y.
  limit(kHead, {0, 0, -30, 30, -20, 20});
  limit(kTailL, {-20, 20, 0, 0, -20, 25});
  limit(kTailR, {-20, 20, 0, 0, -25, 20});
  limit(kArmL, {-90, 60, -30, 30, -20, 135});
  limit(kArmR, {-90, 60, -30, 30, -135, 20});
  limit(kElbowL, {-120, 0, 0, 0, -10, 60});
  limit(kElbowR, {-120, 0, 0, 0, -60, 10});
  limit(kHandL, {-30, 30, 0, 0, -30, 30});
  limit(kHandR, {-30, 30, 0, 0, -30, 30});
  limit(kLegL, {-70, 30, 0, 0, -5, 25});
  limit(kLegR, {-70, 30, 0, 0, -25, 5});
  limit(kKneeL, {0, 110, 0, 0, 0, 0});
  limit(kKneeR, {0, 110, 0, 0, 0, 0});
  return joints;
}

std::vector<MeshSpec> buildMeshes() {
  std::vector<MeshSpec> meshes;
  meshes.push_back(legs());
  meshes.push_back(socks());
  meshes.push_back(shoes());
  meshes.push_back(dress());
  meshes.push_back(arms());
  meshes.push_back(sleeves());
  meshes.push_back(head());
  MeshSpec lidsOpen, lidsShut, mouthShut, mouthOpen;
  eyelids(lidsOpen, lidsShut);
  mouth(mouthShut, mouthOpen);
  meshes.push_back(std::move(lidsOpen));
  meshes.push_back(std::move(mouthShut));
  meshes.push_back(hair());
  meshes.push_back(bows());
  for (MeshSpec& m : meshes) {
    if (m.data.normals.empty()) computeSmoothNormals(m.data);
  }
  meshes.push_back(pickTarget(kPickHead, kHeadJoint, {-26.0, 46.0, -24.0}, {26.0, 99.0, 25.0}, kHead));
  meshes.push_back(pickTarget(kPickBody, "tickle", {-16.0, 0.0, -13.0}, {16.0, 46.0, 14.0}, kHips));
  meshes.push_back(boundingBox());
  for (size_t i = meshes.size() - 3; i < meshes.size(); ++i) computeSmoothNormals(meshes[i].data);
  meshes.push_back(std::move(lidsShut));
  meshes.push_back(std::move(mouthOpen));
  return meshes;
}

}  // namespace vashel::sample
