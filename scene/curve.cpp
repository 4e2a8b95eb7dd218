// Baking curves into per-frame tables, and reading a curve at a frame.
#include "scene/curve.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vashel {
namespace {

// Key times as frame numbers: truncated toward zero, saturated to the int
// range (NaN reads as 0) so that absurd times stay ordered and defined.
int keyFrame(double time) {
  if (!(time == time)) return 0;
  if (time >= 2147483647.0) return std::numeric_limits<int>::max();
  if (time <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(time);
}

struct Bezier {
  double x[4];
  double y[4];
};

// x over the parameter range [a, b] lies within the range of the blossom
// values x(a,a,a), x(a,a,b), x(a,b,b), x(b,b,b): the control points of that
// piece of the curve.
std::array<double, 2> xHull(const Bezier& bezier, double a, double b) {
  auto blossom = [&](double u, double v, double w) {
    double q[3], r[2];
    for (int i = 0; i < 3; ++i) q[i] = (1 - u) * bezier.x[i] + u * bezier.x[i + 1];
    for (int i = 0; i < 2; ++i) r[i] = (1 - v) * q[i] + v * q[i + 1];
    return (1 - w) * r[0] + w * r[1];
  };
  const double c[4] = {blossom(a, a, a), blossom(a, a, b), blossom(a, b, b), blossom(b, b, b)};
  return {*std::min_element(c, c + 4), *std::max_element(c, c + 4)};
}

// Writes the samples j = first..last (of N) into the table. Each sample is
// computed from s = j / N exactly as a plain loop over all samples would.
void writeSamples(const Bezier& bezier, std::int64_t first, std::int64_t last, std::int64_t n,
                  std::vector<double>& table) {
  const double size = static_cast<double>(table.size());
  for (std::int64_t j = first; j <= last; ++j) {
    const double s = static_cast<double>(j) / static_cast<double>(n);
    const double r = 1 - s;
    const double b0 = r * r * r, b1 = 3 * r * r * s, b2 = 3 * r * s * s, b3 = s * s * s;
    const double x = b0 * bezier.x[0] + b1 * bezier.x[1] + b2 * bezier.x[2] + b3 * bezier.x[3];
    // Only x in (-1, size) can name a table entry within 0.1 of itself; the
    // test also keeps the conversion below in range.
    if (!(x > -1.0 && x < size)) continue;
    const int k = static_cast<int>(x + 0.5);
    if (k < 0 || static_cast<std::size_t>(k) >= table.size() || !(std::fabs(x - k) < 0.1)) continue;
    table[k] = b0 * bezier.y[0] + b1 * bezier.y[1] + b2 * bezier.y[2] + b3 * bezier.y[3];
  }
}

// Samples j in [jFirst, jLast] whose piece of the curve can reach the table.
// Keys far outside the baked range would otherwise cost 20 samples per frame
// of their distance; pieces whose hull misses the table are skipped, which
// leaves every written entry as the full loop would write it.
void sampleRange(const Bezier& bezier, std::int64_t jFirst, std::int64_t jLast, std::int64_t n,
                 std::vector<double>& table) {
  if (jFirst > jLast) return;
  const double a = static_cast<double>(jFirst) / static_cast<double>(n);
  const double b = static_cast<double>(jLast) / static_cast<double>(n);
  const auto [lo, hi] = xHull(bezier, a, b);
  const double margin = 1.0 + 1e-9 * (std::fabs(lo) + std::fabs(hi));
  if (hi < -1.0 - margin || lo > static_cast<double>(table.size()) + margin) return;
  if (jLast - jFirst < 64) {
    writeSamples(bezier, jFirst, jLast, n, table);
    return;
  }
  const std::int64_t middle = jFirst + (jLast - jFirst) / 2;
  sampleRange(bezier, jFirst, middle, n, table);
  sampleRange(bezier, middle + 1, jLast, n, table);
}

}  // namespace

void bakeCurve(AnimCurve& curve, int start, int end) {
  // Entries that already existed below the new size keep their values.
  const int top = std::min(end, kMaxBakedFrames - 1);
  const std::size_t size = top < 0 ? 0 : static_cast<std::size_t>(top) + 1;
  std::vector<double> table = curve.frames.expand();
  table.resize(size, 0.0);
  // The table is worked on whole and stored compactly however baking ends.
  struct StoreOnExit {
    BakedTable& frames;
    std::vector<double>& table;
    ~StoreOnExit() { frames.store(table); }
  } storeOnExit{curve.frames, table};
  const std::size_t n =
      std::min({curve.times.size(), curve.values.size(), curve.tangentAngle.size()});
  auto fillRange = [&](long long from, long long to, double value) {
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(size) - 1);
    for (long long f = from; f <= to; ++f) table[static_cast<std::size_t>(f)] = value;
  };

  if (n == 0) {
    fillRange(start, top, 0.0);
    return;
  }
  if (n == 1) {
    fillRange(start, top, curve.values[0]);
    return;
  }
  // Keys out of order make segments that overlap earlier ones; sampling them
  // too would let a long list of such keys cost 20 samples per frame each.
  std::int64_t sampledUntil = std::numeric_limits<std::int64_t>::min();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const int t0 = keyFrame(curve.times[i]);
    const int t1 = keyFrame(curve.times[i + 1]);
    const double y0 = curve.values[i];
    const double y1 = curve.values[i + 1];
    const std::int64_t span = static_cast<std::int64_t>(t1) - t0;
    if (span == 1) {
      if (t0 >= 0 && static_cast<std::size_t>(t0) < size) table[t0] = y0;
      if (t1 >= 0 && static_cast<std::size_t>(t1) < size) table[t1] = y1;
      continue;
    }
    // Keys out of order or on one frame make no forward segment.
    if (span <= 0 || t0 < sampledUntil) continue;
    sampledUntil = t1;
    const double m = static_cast<double>(span) / 3;
    const double a0 = curve.tangentAngle[i] * kDegreesToRadians;
    const double a1 = curve.tangentAngle[i + 1] * kDegreesToRadians;
    const Bezier bezier{{static_cast<double>(t0), t0 + m * std::cos(a0), t1 - m * std::cos(a1),
                         static_cast<double>(t1)},
                        {y0, y0 + m * std::sin(a0), y1 - m * std::sin(a1), y1}};
    const std::int64_t samples = 20 * span;
    sampleRange(bezier, 0, samples, samples, table);
  }
  // Head fill compares with the untruncated first time.
  const double firstTime = curve.times[0];
  for (std::size_t f = 0; f < size && static_cast<double>(f) < firstTime; ++f) {
    table[f] = curve.values[0];
  }
  fillRange(keyFrame(curve.times[n - 1]), top, curve.values[n - 1]);
}

namespace {

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace

std::vector<double> BakedTable::expand() const {
  std::vector<double> table(size_, tail_);
  std::fill_n(table.begin(), headEnd_, head_);
  std::copy(middle_.begin(), middle_.end(), table.begin() + headEnd_);
  return table;
}

void BakedTable::store(const std::vector<double>& table) {
  size_ = static_cast<std::uint32_t>(table.size());
  std::size_t head = 0, tail = table.size();
  if (!table.empty()) {
    while (head < table.size() && sameBits(table[head], table.front())) ++head;
    while (tail > head && sameBits(table[tail - 1], table.back())) --tail;
  }
  headEnd_ = static_cast<std::uint32_t>(head);
  head_ = table.empty() ? 0.0 : table.front();
  tail_ = table.empty() ? 0.0 : table.back();
  middle_.assign(table.begin() + static_cast<std::ptrdiff_t>(head),
                 table.begin() + static_cast<std::ptrdiff_t>(tail));
  middle_.shrink_to_fit();
}

bool BakedTable::operator==(const std::vector<double>& table) const {
  if (table.size() != size_) return false;
  for (std::size_t f = 0; f < table.size(); ++f) {
    if (!sameBits(table[f], (*this)[f])) return false;
  }
  return true;
}

double evaluateCurve(const AnimCurve& curve, int frame) {
  if (static_cast<unsigned>(frame) < curve.frames.size()) return curve.frames[frame];
  const std::size_t n = std::min(curve.times.size(), curve.values.size());
  if (n == 0) return 0.0;
  std::size_t a = n, b = n;  // n: none
  for (std::size_t i = 0; i < n; ++i) {
    const int t = keyFrame(curve.times[i]);
    if (t <= frame) a = i;
    if (t >= frame && b == n) b = i;
  }
  if (a == n) return curve.values[0];
  if (b == n || a == b) return curve.values[a];
  const double span = curve.times[b] - curve.times[a];
  if (span == 0.0) return curve.values[a];
  return curve.values[a] + (curve.values[b] - curve.values[a]) * (frame - curve.times[a]) / span;
}

}  // namespace vashel
