// Pieces of the sample generator checked against the program's own readers
// and against the formats' definitions: line scrambling, µ-law, the sound
// keystream, the animation timeline and skin weights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene/curve.h"
#include "scene/loader.h"
#include "tools/make_sample/geometry.h"
#include "tools/make_sample/motion.h"
#include "tools/make_sample/scene_writer.h"
#include "tools/make_sample/sounds.h"

namespace vashel {
namespace {

TEST(MakeSampleScrambling, TheLoaderReadsEveryLineLengthBack) {
  const std::string text = "anim greeting 720 810 0 persp slot99 - chime.wav";
  for (size_t n = 0; n <= text.size(); ++n) {
    const std::string plain = text.substr(0, n);
    std::string stored = sample::scrambleLine(plain);
    ASSERT_EQ(stored.size(), plain.size());
    descrambleLine(stored);
    EXPECT_EQ(stored, plain) << "length " << n;
  }
  // Whole texts keep their line structure, and no stored byte can end a line early.
  const std::string scrambled = sample::scrambleText("time: 1 820\n v 0 1 2\n");
  EXPECT_EQ(std::count(scrambled.begin(), scrambled.end(), '\n'), 2);
  EXPECT_EQ(scrambled.find('\r'), std::string::npos);
}

TEST(MakeSampleNumbers, FixedPrecisionWithoutNegativeZero) {
  EXPECT_EQ(sample::formatNumber(2.5), "2.5");
  EXPECT_EQ(sample::formatNumber(3.0), "3");
  EXPECT_EQ(sample::formatNumber(-0.00001), "0");
  EXPECT_EQ(sample::formatNumber(-1.23456), "-1.2346");
  EXPECT_EQ(sample::formatNumber(0.1234567, 7), "0.1234567");
}

// G.711 decoding, written from the definition.
int muLawDecode(std::uint8_t code) {
  code = static_cast<std::uint8_t>(~code);
  const int exponent = (code >> 4) & 7, mantissa = code & 0x0F;
  const int magnitude = ((mantissa << 3) + 0x84) << exponent;
  return (code & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}

TEST(MakeSampleSound, MuLawRoundTripsWithinItsStepSize) {
  EXPECT_EQ(sample::muLawEncode(0), 0xFF);
  for (int s = -32768; s <= 32767; s += 97) {
    const int decoded = muLawDecode(sample::muLawEncode(static_cast<std::int16_t>(s)));
    // The step doubles with every segment: about 1/16 of the magnitude.
    const int tolerance = std::max(8, std::abs(s) / 15);
    EXPECT_NEAR(decoded, std::clamp(s, -32635, 32635), tolerance) << s;
    if (std::abs(s) > 8) {
      EXPECT_EQ(decoded < 0, s < 0) << s;
    }
  }
}

TEST(MakeSampleSound, KeystreamFollowsTheKeyTableAndUndoesItself) {
  std::string zeros(300, '\0');
  sample::scrambleSoundData(zeros.data(), zeros.size(), sample::kSoundKey);
  // Table K,37,E,38,S,39,T,40,R,41,A,42,N,43 (14 bytes) plus a counter mod 16.
  const unsigned char table[14] = {'K', 37, 'E', 38, 'S', 39, 'T', 40, 'R', 41, 'A', 42, 'N', 43};
  for (size_t j = 0; j < zeros.size(); ++j) {
    ASSERT_EQ(static_cast<unsigned char>(zeros[j]), (table[j % 14] + j % 16) & 0xFF) << j;
  }
  EXPECT_EQ(zeros.substr(0, 112), zeros.substr(112, 112)) << "the stream repeats after 112 bytes";
  sample::scrambleSoundData(zeros.data(), zeros.size(), sample::kSoundKey);
  EXPECT_EQ(zeros, std::string(300, '\0'));
}

TEST(MakeSampleSound, WaveHeadersCountTheirBytes) {
  const std::string pcm = sample::encodeWavePcm16({0, 1, -1, 32767}, 22050);
  ASSERT_EQ(pcm.size(), 44u + 8u);
  EXPECT_EQ(pcm.substr(0, 4), "RIFF");
  EXPECT_EQ(static_cast<unsigned char>(pcm[4]) | static_cast<unsigned char>(pcm[5]) << 8, static_cast<int>(pcm.size()) - 8);
  // An odd number of µ-law samples is padded to keep every chunk even.
  const std::string law = sample::encodeWaveMuLaw({0, 100, 200}, 8000);
  const size_t data = law.find("data");
  ASSERT_NE(data, std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(law[data + 4]), 4);
  EXPECT_EQ(law.size(), data + 8 + 4);
}

// Bakes a generated curve the way the loader does.
AnimCurve baked(const sample::Curve& c, int end) {
  AnimCurve curve(c.keys.size());
  for (size_t k = 0; k < c.keys.size(); ++k) {
    curve.times[k] = c.keys[k].time;
    curve.values[k] = c.keys[k].value;
    curve.tangentAngle[k] = c.keys[k].tangent;
  }
  bakeCurve(curve, 1, end);
  return curve;
}

TEST(MakeSampleTimeline, ActionsRestAtTheirEdgesAndNeverOvershoot) {
  sample::Timeline timeline({5.0, 0.0});
  timeline.beginAction(10, 40);
  timeline.key(0, 5, 8.0);
  timeline.key(0, 12, 20.0);
  timeline.key(0, 20, 9.0);
  timeline.endAction();
  timeline.beginAction(50, 60);
  EXPECT_THROW(timeline.key(0, 11, 1.0), std::logic_error) << "a key past the action's end";
  timeline.endAction();

  const sample::Curve c = timeline.curve(0, true, 1);
  ASSERT_EQ(c.keys.size(), 5u);
  EXPECT_EQ(c.keys.front().time, 10.0);
  EXPECT_EQ(c.keys.front().value, 5.0);
  EXPECT_EQ(c.keys.back().time, 40.0);
  EXPECT_EQ(c.keys.back().value, 5.0);
  EXPECT_EQ(c.keys.front().tangent, 0.0);
  EXPECT_EQ(c.keys[2].tangent, 0.0) << "a peak is flat";
  EXPECT_GT(c.keys[1].tangent, 0.0) << "a key on the way up passes through";

  const AnimCurve curve = baked(c, 60);
  for (int f = 0; f <= 60; ++f) {
    EXPECT_GE(curve.frames[f], 5.0 - 1e-9) << f;
    EXPECT_LE(curve.frames[f], 20.0 + 1e-9) << f;
  }
  EXPECT_NEAR(curve.frames[22], 20.0, 0.01);
  EXPECT_DOUBLE_EQ(curve.frames[60], 5.0);

  const sample::Curve still = timeline.curve(1, true, 1);
  ASSERT_EQ(still.keys.size(), 1u);
  EXPECT_EQ(still.keys[0].time, 1.0);
}

TEST(MakeSampleWeights, AtMostFourSummingExactlyToOne) {
  const sample::Weights w = sample::tidyWeights(
      {{5, 0.3}, {2, 0.1}, {7, 0.25}, {2, 0.15}, {9, 0.1}, {1, 0.05}, {3, 0.001}});
  ASSERT_EQ(w.size(), 4u);
  long long total = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    total += std::llround(w[i].weight * 10000.0);
    EXPECT_DOUBLE_EQ(w[i].weight * 10000.0, std::round(w[i].weight * 10000.0)) << "four decimals";
    if (i > 0) {
      EXPECT_LT(w[i - 1].joint, w[i].joint);
    }
  }
  EXPECT_EQ(total, 10000);
  EXPECT_EQ(w[0].joint, 2) << "the two entries for joint 2 are merged (0.25) and kept";
}

}  // namespace
}  // namespace vashel
