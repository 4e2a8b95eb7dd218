// Animated numbers: keys read from the scene file, baked into one value per
// integer frame so that playback reads a table instead of solving Béziers.
#pragma once

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vashel {

// How a curve attribute's key values are converted when read.
enum class CurveKind { Plain, Angle, Transparency };

// Radians to degrees, as the scene format defines it.
inline constexpr double kRadiansToDegrees = 57.29577951308232;
inline constexpr double kDegreesToRadians = 0.017453292519943295;

// A baked table, one value per frame, kept as its first run of equal
// entries, the entries between, and its last run of equal entries. Most
// curves hold still for long stretches before their first key and after
// their last, and many never move at all: those runs cost nothing here.
// Reads give exactly the entries that were stored.
class BakedTable {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  double operator[](std::size_t f) const {
    if (f < headEnd_) return head_;
    const std::size_t m = f - headEnd_;
    return m < middle_.size() ? middle_[m] : tail_;
  }
  double back() const { return (*this)[size_ - 1]; }

  // The whole table, and storing a whole table.
  std::vector<double> expand() const;
  void store(const std::vector<double>& table);
  void assign(std::size_t count, double value) { store(std::vector<double>(count, value)); }
  void clear() { store({}); }

  std::size_t storedEntries() const { return middle_.size(); }
  bool operator==(const std::vector<double>& table) const;

 private:
  std::uint32_t size_ = 0;
  std::uint32_t headEnd_ = 0;  // entries below are head_
  double head_ = 0.0, tail_ = 0.0;
  std::vector<double> middle_;  // entries headEnd_ .. headEnd_ + size - 1; tail_ after
};

struct AnimCurve {
  std::vector<double> times;         // key times in frames, file order
  std::vector<double> values;        // key values after the kind's conversion
  std::vector<double> tangentAngle;  // degrees, one per key
  BakedTable frames;                 // baked table: frames[f] is the value at frame f

  AnimCurve() = default;
  explicit AnimCurve(std::size_t keyCount)
      : times(keyCount, 0.0), values(keyCount, 0.0), tangentAngle(keyCount, 0.0) {}

  std::size_t keyCount() const { return times.size(); }
};

// The baked table covers at most this many frames (2.4 hours at 30 frames a
// second); frames beyond it are read from the keys.
inline constexpr int kMaxBakedFrames = 1 << 18;

// Fills the baked table for frames start..end by Bézier sampling between keys
// (20 samples per frame) with head and tail fill. The table is resized to
// end + 1 entries (none for a negative end, at most kMaxBakedFrames);
// existing entries below the new size keep their values.
void bakeCurve(AnimCurve& curve, int start, int end);

// The value at an integer frame: the baked table when it covers the frame,
// otherwise linear interpolation between keys.
double evaluateCurve(const AnimCurve& curve, int frame);

// Optional curves read as 0 when absent.
inline double evaluateCurve(const AnimCurve* curve, int frame) {
  return curve ? evaluateCurve(*curve, frame) : 0.0;
}

// A frame rounded half up, as every curve read uses it. A frame beyond the int
// range (stepping past a range that ends at the largest frame goes there)
// gives the nearest int instead of overflowing; NaN gives 0.
inline int roundFrame(double frame) {
  const double half = frame + 0.5;
  if (std::isnan(half)) return 0;
  if (half >= 2147483648.0) return INT_MAX;
  if (half <= -2147483649.0) return INT_MIN;
  return static_cast<int>(half);
}

}  // namespace vashel
