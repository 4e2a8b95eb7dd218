// The frame clock: a fixed 30 frames-per-second animation time base, shown at
// a display rate of 10..30 ticks per second, re-armed with a delay corrected
// for lateness.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vashel {

inline constexpr double kAnimFrameMs = 1000.0 / 30.0;
inline constexpr double kMinDelayMs = kAnimFrameMs - 16.0;

struct FrameStat {
  std::uint32_t frame = 0;
  std::uint32_t ms = 0;
};

enum PlayState { kPaused = 0, kPlaying = 1, kFrameWalk = 2 };

struct PlayerClock {
  int startFrame = 0;
  int endFrame = 0;
  double currentFrame = 1.0;
  int lastIntegerFrame = 0;
  int framesInRange = 0;
  std::int32_t playStartTime = 0;  // ms when the range started
  std::int32_t playTime = 0;       // ms the last range took
  double framePeriod = 50.0;       // ms between ticks
  int displayRate = 20;            // ticks per second
  int paintCounter = 0;
  int distinctFrameCounter = 0;
  std::vector<FrameStat> frameStats;
  int playState = kPlaying;
  std::uint8_t firstTick = 1;
  std::int32_t previousTickTime = 0;
  std::int32_t tickInterval = 0;
  int lateness = 0;  // ms the last tick was past its slot (phase in the period)
  double currentDelay = 50.0;
};

// Arms the one-shot tick. The desktop shell implements it with a precise
// single-shot timer; tests record the delays.
class TickTimer {
 public:
  virtual ~TickTimer() = default;
  virtual void armTick(int delayMs) = 0;
};

// The operations on the clock. `nowMs` is the Clock's monotonic time.
// setFrameRate prints "[FRAMESEC] ..." on `out` (null: silent); a rate below 1
// or above 1000 is ignored.
void setFrameRate(PlayerClock& clock, int rate, std::FILE* out = stdout);
void advanceByTime(PlayerClock& clock, std::int32_t nowMs);
int stepForward(PlayerClock& clock);                   // returns the new frame, rounded
int stepBack(PlayerClock& clock);
void setRange(PlayerClock& clock, int start, int end);
void recordFrameStat(PlayerClock& clock, std::int32_t nowMs);

}  // namespace vashel
