// The frame clock: frame advance from elapsed time, frame steps, tick
// scheduling with lateness correction, and the play statistics.
#include "anim/clock.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "anim/player.h"
#include "scene/curve.h"

namespace vashel {
namespace {

// Statistics are cleared whenever an action starts; a range that never ends
// (an idle action of length 0 holds its last frame) must not grow them forever.
constexpr std::size_t kMaxFrameStats = 100000;

// now - since on a 32-bit millisecond clock, correct across its wrap.
std::int32_t elapsedMs(std::int32_t now, std::int32_t since) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                   static_cast<std::uint32_t>(since));
}

void clampToRange(PlayerClock& clock) {
  // Rounded half up in doubles: a step past a range that ends at the largest
  // int frame must compare as beyond it, not saturate to it or wrap.
  const double r = std::trunc(clock.currentFrame + 0.5);
  if (r > clock.endFrame) {
    clock.currentFrame = clock.endFrame;
  } else if (r < clock.startFrame) {
    clock.currentFrame = clock.startFrame;
  }
}

int truncatedPeriod(const PlayerClock& clock) { return static_cast<int>(clock.framePeriod); }

void arm(Player& player, int delayMs) {
  if (player.ports.timer != nullptr) player.ports.timer->armTick(delayMs);
}

}  // namespace

void setFrameRate(PlayerClock& clock, int rate, std::FILE* out) {
  if (rate < 1 || rate > 1000) return;
  clock.displayRate = rate;
  clock.framePeriod = 1000.0 / rate;
  if (out != nullptr) std::fprintf(out, "[FRAMESEC] %0.2f (%dfps)\n", clock.framePeriod, rate);
}

void advanceByTime(PlayerClock& clock, std::int32_t nowMs) {
  const std::int32_t elapsed = elapsedMs(nowMs, clock.playStartTime);
  clock.currentFrame = clock.startFrame + elapsed / kAnimFrameMs;
  clampToRange(clock);
}

int stepForward(PlayerClock& clock) {
  clock.currentFrame = static_cast<double>(roundFrame(clock.currentFrame)) + 1;
  clampToRange(clock);
  return roundFrame(clock.currentFrame);
}

int stepBack(PlayerClock& clock) {
  clock.currentFrame = static_cast<double>(roundFrame(clock.currentFrame)) - 1;
  clampToRange(clock);
  return roundFrame(clock.currentFrame);
}

void setRange(PlayerClock& clock, int start, int end) {
  clock.currentFrame = start;
  clock.startFrame = start;
  clock.endFrame = end;
  clock.framesInRange = static_cast<int>(
      std::clamp<long long>(static_cast<long long>(end) - start + 1, INT_MIN, INT_MAX));
  clock.paintCounter = 0;
  clock.distinctFrameCounter = 0;
}

void recordFrameStat(PlayerClock& clock, std::int32_t nowMs) {
  if (clock.frameStats.size() >= kMaxFrameStats) return;
  clock.frameStats.push_back(FrameStat{static_cast<std::uint32_t>(roundFrame(clock.currentFrame)),
                                       static_cast<std::uint32_t>(nowMs)});
}

void startClock(Player& player) { arm(player, truncatedPeriod(player.clock)); }

void setPlaying(Player& player, bool playing) {
  if (!playing) {
    player.clock.playState = kPaused;
    return;
  }
  player.clock.playState = kPlaying;
  arm(player, truncatedPeriod(player.clock));
}

void beginFrame(Player& player) {
  PlayerClock& clock = player.clock;
  if (clock.playState == kPlaying) advanceByTime(clock, player.ports.time->nowMs());
  ++clock.paintCounter;
  const int f = roundFrame(clock.currentFrame);
  if (f == clock.lastIntegerFrame) {
    stepForward(clock);
  } else {
    ++clock.distinctFrameCounter;
    clock.lastIntegerFrame = f;
  }
  if (player.soundRestart && clock.playState == kPlaying && player.soundEnabled) {
    stopCurrentSound(player);
    if (!player.isMuted()) startCurrentSound(player);
    player.soundRestart = false;
  }
}

int scheduleNextTick(Player& player, Scene& scene) {
  PlayerClock& clock = player.clock;
  if (roundFrame(clock.currentFrame) >= clock.endFrame) {
    player.soundRestart = true;
    const Action* idle = scene.action(0);
    if (idle != nullptr && idle->endFrame > 0) {
      if (player.log != nullptr) std::fprintf(player.log, "Playend Check\n");
      setNewAction(player, scene, 0, {}, "randomaction");
    }
    const int delay = truncatedPeriod(clock);
    arm(player, delay);
    return delay;
  }

  const std::int32_t now = player.ports.time->nowMs();
  if (clock.firstTick != 0) {
    clock.firstTick = 0;
    clock.lateness = 0;
    clock.previousTickTime = now;
  }
  clock.tickInterval = elapsedMs(now, clock.previousTickTime);
  clock.previousTickTime = now;
  if (clock.playState != kPlaying) return clock.tickInterval;

  double delay = clock.currentDelay;
  if (clock.tickInterval != 0) {
    // The phase alone says how far this tick is past its slot in the grid of
    // periods since the range started; the next tick aims at the next slot.
    // Adding the interval since the previous tick would count that lateness
    // twice, make an on-time tick look early and paint faster than the rate.
    clock.lateness =
        static_cast<int>(std::fmod(elapsedMs(now, clock.playStartTime), clock.framePeriod));
    delay = clock.framePeriod - clock.lateness;
    if (delay < kMinDelayMs) {
      // The next slot is too close to reach: land past it after the minimum.
      clock.lateness = 0;
      delay = kMinDelayMs;
    } else if (delay > clock.framePeriod) {
      // Only a clock that went backwards (a negative phase) comes here.
      delay = kAnimFrameMs;
    }
    clock.currentDelay = delay;
  }
  arm(player, static_cast<int>(std::ceil(delay)));
  return clock.tickInterval;
}

void finishTick(Player& player) {
  PlayerClock& clock = player.clock;
  if (static_cast<int>(clock.currentFrame) > clock.endFrame) clock.currentFrame = clock.startFrame;
}

namespace {

// Rates per second over the play time; a range that took no time has none.
double perSecond(double count, std::int32_t playTime) {
  return playTime != 0 ? count * 1000 / playTime : 0.0;
}

}  // namespace

std::string formatPlayStats(const Player& player) {
  const PlayerClock& clock = player.clock;
  char text[1024];
  std::snprintf(text, sizeof text,
                "[ANIM No.] %03d\n[PLAYTIME] %u / %0.2f ms\n[FRAMES] %d / %d / %d frams\n"
                "[FPS] %0.2f / %d / %0.2f fps\n",
                player.currentAction, static_cast<unsigned>(clock.playTime),
                clock.framesInRange * kAnimFrameMs, clock.paintCounter,
                clock.distinctFrameCounter, clock.framesInRange,
                perSecond(clock.distinctFrameCounter, clock.playTime), clock.displayRate,
                perSecond(clock.framesInRange, clock.playTime));
  return text;
}

void printPlayStats(Player& player) {
  PlayerClock& clock = player.clock;
  const std::int32_t now = player.ports.time->nowMs();
  clock.playTime = elapsedMs(now, clock.playStartTime);
  if (player.statsRequested) {
    if (player.showPlayStats) player.showPlayStats(formatPlayStats(player));
    player.statsRequested = false;
  }
  std::FILE* out = player.log;
  if (out == nullptr) return;
  std::fprintf(out, "[PLAYEND] PLAYTIME:%u / %0.2f FRAMES:%d / %d / %d FPS:%0.2f / %d / %0.2f\n",
               static_cast<unsigned>(clock.playTime),
               static_cast<double>(clock.framesInRange) * 1000 * 0.03333333333333333,
               clock.paintCounter,
               clock.distinctFrameCounter, clock.framesInRange,
               perSecond(clock.distinctFrameCounter, clock.playTime), clock.displayRate,
               perSecond(clock.framesInRange, clock.playTime));
  std::fprintf(out, "[PLAY FRAME STAT]\n");
  std::uint32_t previous = 0;  // the first record's difference is to 0
  for (const FrameStat& stat : clock.frameStats) {
    std::fprintf(out, "No.%03u : %03u (%u)ms\n", stat.frame, stat.ms, stat.ms - previous);
    previous = stat.ms;
  }
}

}  // namespace vashel
