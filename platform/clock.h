// Time as the core sees it. Real runs use SystemClock; tests use a fake that
// they step by hand.
#pragma once

#include <cstdint>

namespace vashel {

struct LocalTime {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds, kept in 32 bits as the frame clock stores them.
  virtual std::int32_t nowMs() = 0;
  // Seconds since the epoch (wall clock).
  virtual std::int64_t epochSeconds() = 0;
  virtual LocalTime localTime() = 0;
};

class SystemClock final : public Clock {
 public:
  std::int32_t nowMs() override;
  std::int64_t epochSeconds() override;
  LocalTime localTime() override;
};

}  // namespace vashel
