// Baking curves into per-frame tables, and reading curves at frames.
#include "scene/curve.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vashel {
namespace {

struct Key {
  double time, value, tangent;
};

AnimCurve curveOf(std::initializer_list<Key> keys) {
  AnimCurve curve(keys.size());
  std::size_t i = 0;
  for (const Key& key : keys) {
    curve.times[i] = key.time;
    curve.values[i] = key.value;
    curve.tangentAngle[i] = key.tangent;
    ++i;
  }
  return curve;
}

TEST(BakeCurve, BezierWithTangents) {
  // m = 10/3, P1 = (2.357, 2.357), P2 = (7.643, 97.643).
  AnimCurve curve = curveOf({{0, 0, 45}, {10, 100, 45}});
  bakeCurve(curve, 0, 10);
  ASSERT_EQ(curve.frames.size(), 11u);
  EXPECT_EQ(curve.frames[10], 100.0);  // the last sample is P3 exactly
  // The last sample within 0.1 of frame 0 lies at x ≈ 0.07 on a 45° start.
  EXPECT_NEAR(curve.frames[0], 0.0, 0.1);
  for (int f = 1; f <= 10; ++f) EXPECT_GT(curve.frames[f], curve.frames[f - 1]) << f;
  // Symmetric about (5, 50), where it rises about 12 a frame against 1 a
  // frame along the 45° tangents at the keys.
  EXPECT_NEAR(curve.frames[5], 50.0, 1.0);
  EXPECT_GT(curve.frames[6] - curve.frames[5], 2 * (curve.frames[1] - curve.frames[0]));
  EXPECT_GT(curve.frames[6] - curve.frames[5], 2 * (curve.frames[10] - curve.frames[9]));
}

TEST(BakeCurve, NeighbouringFramesSkipSampling) {
  AnimCurve curve = curveOf({{4, 1, 80}, {5, 2, -80}});
  bakeCurve(curve, 0, 10);
  for (int f = 0; f <= 4; ++f) EXPECT_EQ(curve.frames[f], 1.0) << f;
  for (int f = 5; f <= 10; ++f) EXPECT_EQ(curve.frames[f], 2.0) << f;
}

TEST(BakeCurve, EverySegmentIsSampled) {
  // Flat tangents make x linear in s and y a smoothstep between keys.
  AnimCurve curve = curveOf({{0, 0, 0}, {10, 10, 0}, {20, 0, 0}});
  bakeCurve(curve, 0, 25);
  for (int f = 1; f < 10; ++f) EXPECT_GT(curve.frames[f], curve.frames[f - 1]) << f;
  for (int f = 11; f <= 20; ++f) EXPECT_LT(curve.frames[f], curve.frames[f - 1]) << f;
  EXPECT_NEAR(curve.frames[5], 5.0, 0.5);
  EXPECT_NEAR(curve.frames[10], 10.0, 0.1);
  EXPECT_NEAR(curve.frames[15], 5.0, 0.5);
  for (int f = 20; f <= 25; ++f) EXPECT_EQ(curve.frames[f], 0.0) << f;
}

TEST(BakeCurve, OneKeyFillsStartToEnd) {
  AnimCurve curve = curveOf({{30, 7, 0}});
  curve.frames.assign(1, -1.0);  // an entry that exists keeps its value
  bakeCurve(curve, 1, 100);
  ASSERT_EQ(curve.frames.size(), 101u);
  EXPECT_EQ(curve.frames[0], -1.0);
  for (int f = 1; f <= 100; ++f) ASSERT_EQ(curve.frames[f], 7.0) << f;
}

TEST(BakeCurve, NoKeysFillZero) {
  AnimCurve curve;
  curve.frames.assign(5, 3.0);
  bakeCurve(curve, 2, 6);
  EXPECT_EQ(curve.frames, (std::vector<double>{3, 3, 0, 0, 0, 0, 0}));
}

TEST(BakeCurve, HeadFillUsesTheUntruncatedTime) {
  // 2.7 bounds the segment at frame 2 but fills the head through frame 2.
  AnimCurve curve = curveOf({{2.7, 3, 0}, {6, 9, 0}});
  bakeCurve(curve, 0, 8);
  EXPECT_EQ(curve.frames[0], 3.0);
  EXPECT_EQ(curve.frames[1], 3.0);
  EXPECT_EQ(curve.frames[2], 3.0);
  EXPECT_GT(curve.frames[4], 3.0);
  EXPECT_LT(curve.frames[4], 9.0);
  EXPECT_EQ(curve.frames[6], 9.0);
  EXPECT_EQ(curve.frames[8], 9.0);
}

TEST(BakeCurve, TableSizeFollowsTheEnd) {
  AnimCurve curve = curveOf({{0, 1, 0}, {4, 2, 0}});
  bakeCurve(curve, 0, 20);
  EXPECT_EQ(curve.frames.size(), 21u);
  bakeCurve(curve, 0, 3);  // a smaller end shrinks the table
  EXPECT_EQ(curve.frames.size(), 4u);
  bakeCurve(curve, 0, -1);
  EXPECT_TRUE(curve.frames.empty());
  bakeCurve(curve, 0, -50);
  EXPECT_TRUE(curve.frames.empty());
  bakeCurve(curve, 0, 2'000'000'000);
  EXPECT_EQ(curve.frames.size(), static_cast<std::size_t>(kMaxBakedFrames));
  EXPECT_EQ(curve.frames.back(), 2.0);
}

TEST(BakeCurve, FarKeysStayCheap) {
  // A plain loop would take 20 samples per frame of the key distance.
  const auto started = std::chrono::steady_clock::now();
  AnimCurve flat = curveOf({{-2e9, -1, 0}, {0, 0, 0}, {2e9, 1, 0}, {1e300, 2, 0}});
  bakeCurve(flat, 0, 100);
  // With flat tangents the segment from frame 0 rises as 3 (f / 2e9)^2.
  EXPECT_NEAR(flat.frames[0], 0.0, 1e-9);
  EXPECT_NEAR(flat.frames[100], 0.0, 1e-9);
  EXPECT_GE(flat.frames[100], flat.frames[1]);
  // A 30° tangent at (0, 0) with control points 6.7e8 frames away: near the
  // key the curve is the tangent line, value = f tan 30°.
  AnimCurve sloped = curveOf({{0, 0, 30}, {2e9, 1, 0}});
  bakeCurve(sloped, 0, 100);
  EXPECT_NEAR(sloped.frames[100], 57.735, 0.1);
  EXPECT_NEAR(sloped.frames[50], 28.868, 0.1);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 2.0);
}

TEST(BakeCurve, KeysOutOfOrderOrOnOneFrameAreHarmless) {
  AnimCurve same = curveOf({{3, 1, 0}, {3.5, 2, 0}, {8, 4, 0}});
  bakeCurve(same, 0, 10);
  for (double v : same.frames.expand()) EXPECT_TRUE(std::isfinite(v));
  EXPECT_EQ(same.frames[10], 4.0);
  AnimCurve backwards = curveOf({{8, 1, 0}, {2, 2, 0}});
  bakeCurve(backwards, 0, 10);
  EXPECT_EQ(backwards.frames[0], 1.0);   // head fill before time 8
  EXPECT_EQ(backwards.frames[10], 2.0);  // tail fill from frame 2
  AnimCurve nan = curveOf({{std::nan(""), 1, std::nan("")}, {5, 2, 0}});
  bakeCurve(nan, 0, 6);
  EXPECT_EQ(nan.frames[6], 2.0);
}

TEST(BakeCurve, SteepTangentsStayWithinTheControlPoints) {
  // At 89.9° the control points are (0.017, 10) and (29.98, -9): every
  // sample, and so every entry, lies within their hull.
  AnimCurve curve = curveOf({{0, 0, 89.9}, {30, 1, 89.9}});
  bakeCurve(curve, 0, 30);
  for (double v : curve.frames.expand()) {
    EXPECT_GE(v, -9.0);
    EXPECT_LE(v, 10.0);
  }
  EXPECT_EQ(curve.frames[30], 1.0);
}

TEST(RoundFrame, HalfUpThenTowardZeroWithinTheIntRange) {
  EXPECT_EQ(roundFrame(2.5), 3);
  EXPECT_EQ(roundFrame(2.49), 2);
  EXPECT_EQ(roundFrame(-0.7), 0);  // -0.2 truncated toward zero
  EXPECT_EQ(roundFrame(-1.6), -1);
  EXPECT_EQ(roundFrame(2147483646.5), INT_MAX);
  // One step past the largest frame, and far beyond it, stay at the limit.
  EXPECT_EQ(roundFrame(2147483647.5), INT_MAX);
  EXPECT_EQ(roundFrame(2147483648.0), INT_MAX);
  EXPECT_EQ(roundFrame(1e300), INT_MAX);
  EXPECT_EQ(roundFrame(-2147483648.0), -2147483647);  // -2147483647.5 toward zero
  EXPECT_EQ(roundFrame(-2147483649.0), INT_MIN);
  EXPECT_EQ(roundFrame(-2147483650.0), INT_MIN);
  EXPECT_EQ(roundFrame(-1e300), INT_MIN);
  EXPECT_EQ(roundFrame(std::nan("")), 0);
}

TEST(EvaluateCurve, BakedTableFirst) {
  AnimCurve curve = curveOf({{0, 0, 0}, {10, 100, 0}});
  curve.frames.store({5, 6, 7});
  EXPECT_EQ(evaluateCurve(curve, 2), 7.0);
  // Outside the table the keys are interpolated linearly.
  EXPECT_EQ(evaluateCurve(curve, 3), 30.0);
  EXPECT_EQ(evaluateCurve(curve, -1), 0.0);  // before the first key
}

TEST(EvaluateCurve, LinearBetweenKeys) {
  AnimCurve curve = curveOf({{0, 1, 0}, {10, 0, 0}});
  EXPECT_EQ(evaluateCurve(curve, 0), 1.0);
  EXPECT_DOUBLE_EQ(evaluateCurve(curve, 1), 0.9);
  EXPECT_DOUBLE_EQ(evaluateCurve(curve, 5), 0.5);
  EXPECT_EQ(evaluateCurve(curve, 10), 0.0);
  EXPECT_EQ(evaluateCurve(curve, 30), 0.0);
  EXPECT_EQ(evaluateCurve(curve, -5), 1.0);
}

TEST(EvaluateCurve, TruncatedTimesChooseTheKeysUntruncatedTimesInterpolate) {
  // Keys at 2.5 and 6.5 truncate to 2 and 6: at frame 2 key 0 is both the
  // last key at or before and the first at or after, so its value is read.
  AnimCurve curve = curveOf({{2.5, 10, 0}, {6.5, 50, 0}});
  EXPECT_EQ(evaluateCurve(curve, 2), 10.0);
  // Frame 4: between the keys, with the untruncated times.
  EXPECT_DOUBLE_EQ(evaluateCurve(curve, 4), 10 + 40 * (4 - 2.5) / 4);
  EXPECT_EQ(evaluateCurve(curve, 6), 50.0);
  EXPECT_EQ(evaluateCurve(curve, 1), 10.0);
}

TEST(EvaluateCurve, DegenerateCurves) {
  AnimCurve empty;
  EXPECT_EQ(evaluateCurve(empty, 3), 0.0);
  EXPECT_EQ(evaluateCurve(static_cast<const AnimCurve*>(nullptr), 3), 0.0);
  AnimCurve one = curveOf({{4, 7, 0}});
  EXPECT_EQ(evaluateCurve(one, 0), 7.0);
  EXPECT_EQ(evaluateCurve(one, 9), 7.0);
  // Two keys on one truncated frame give some finite value.
  AnimCurve twin = curveOf({{3.2, 1, 0}, {3.7, 2, 0}, {5, 9, 0}});
  EXPECT_TRUE(std::isfinite(evaluateCurve(twin, 3)));
  AnimCurve same = curveOf({{3, 1, 0}, {3, 2, 0}});
  EXPECT_TRUE(std::isfinite(evaluateCurve(same, 3)));
  // Key lists of different lengths are read only as far as both go.
  AnimCurve ragged = curveOf({{0, 1, 0}, {10, 2, 0}});
  ragged.values.resize(1);
  EXPECT_EQ(evaluateCurve(ragged, 5), 1.0);
  bakeCurve(ragged, 0, 3);
  EXPECT_EQ(ragged.frames[3], 1.0);
}

// A table keeps only what lies between its first and last runs of equal
// entries, and gives back every entry bit for bit.
TEST(BakedTable, KeepsEveryEntryWhileStoringOnlyTheMovingPart) {
  auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  const double nan = std::nan("");
  const std::vector<std::vector<double>> tables = {
      {2, 2, 2, 1, 0, -0.0, 5, 5, 5}, {7, 7, 7, 7}, {nan, nan, 1}, {1, 2}, {3}, {}, {0, -0.0, 0}};
  const std::size_t stored[] = {3, 0, 0, 0, 0, 0, 1};
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const std::vector<double>& table = tables[t];
    BakedTable baked;
    baked.store(table);
    ASSERT_EQ(baked.size(), table.size());
    EXPECT_EQ(baked.storedEntries(), stored[t]) << "table " << t;
    const std::vector<double> back = baked.expand();
    for (std::size_t f = 0; f < table.size(); ++f) {
      EXPECT_EQ(bits(baked[f]), bits(table[f])) << "table " << t << " frame " << f;
      EXPECT_EQ(bits(back[f]), bits(table[f])) << "table " << t << " frame " << f;
    }
  }

  // Baked curves: a still stretch before the first key and after the last
  // is not stored.
  AnimCurve still = curveOf({{1, 7, 0}});
  bakeCurve(still, 1, 100);
  EXPECT_EQ(still.frames.storedEntries(), 0u);
  EXPECT_EQ(evaluateCurve(still, 0), 0.0);
  EXPECT_EQ(evaluateCurve(still, 100), 7.0);
  AnimCurve moving = curveOf({{10, 0, 30}, {20, 5, -30}});
  bakeCurve(moving, 0, 300);
  EXPECT_LE(moving.frames.storedEntries(), 11u);
  EXPECT_EQ(moving.frames.size(), 301u);
  EXPECT_EQ(evaluateCurve(moving, 300), 5.0);
  // Baking again to a later end keeps what was there.
  const std::vector<double> before = moving.frames.expand();
  bakeCurve(moving, 0, 400);
  for (std::size_t f = 0; f < before.size(); ++f) {
    ASSERT_EQ(bits(moving.frames[f]), bits(before[f])) << f;
  }
}

}  // namespace
}  // namespace vashel
