// The real clock: steady_clock for intervals, the wall clock for hours and seconds.
#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace vashel {

std::int32_t SystemClock::nowMs() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms.count()));
}

std::int64_t SystemClock::epochSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

LocalTime SystemClock::localTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_hour, tm.tm_min};
}

}  // namespace vashel
