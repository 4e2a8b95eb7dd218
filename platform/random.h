// rand()-style draws. Real runs seed from the time of day; tests script every draw.
#pragma once

#include <cstdint>

namespace vashel {

inline constexpr int kRandMax = 32767;

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual int rand() = 0;  // 0..kRandMax
};

// The C runtime's classic linear congruential generator, seeded like srand().
class CrtRandom final : public RandomSource {
 public:
  explicit CrtRandom(std::uint32_t seed = 1) : state_(seed) {}
  void seed(std::uint32_t seed) { state_ = seed; }
  int rand() override {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  std::uint32_t state_;
};

}  // namespace vashel
