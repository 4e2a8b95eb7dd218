// Frames never nest; a tick that arrives inside one is served after it.
#include "app/frame_gate.h"

#include <utility>

namespace vashel {

FrameGate::FrameGate(Player& player, std::function<void(bool scheduleNext)> frame,
                     std::function<bool()> tickArmed, std::function<void()> keepTime)
    : player_(player),
      frame_(std::move(frame)),
      tickArmed_(std::move(tickArmed)),
      keepTime_(std::move(keepTime)) {}

void FrameGate::renderFrame(bool scheduleNext) {
  if (inFrame_) return;
  inFrame_ = true;
  if (seen_ || (scheduleNext && !keepTime_)) {
    // (Without keepTime nothing else would re-arm the clock.)
    ++framesDrawn_;
    frame_(scheduleNext);
  } else if (scheduleNext) {
    ++framesUnseen_;
    keepTime_();
  } else {
    redrawOwed_ = true;
  }
  inFrame_ = false;
  if (tickKept_) {
    tickKept_ = false;
    // A tick-driven frame has re-armed the clock already (and a paused one
    // arms nothing); a mouse or key frame has not.
    if (!tickArmed_()) tick();
  }
}

bool FrameGate::setSeen(bool seen) {
  const bool wasSeen = seen_;
  seen_ = seen;
  if (!seen || wasSeen || !redrawOwed_) return false;
  redrawOwed_ = false;
  return true;
}

void FrameGate::tick() {
  if (inFrame_) {
    tickKept_ = true;
    return;
  }
  if (player_.clock.playState == kPlaying) renderFrame(true);
  finishTick(player_);
}

void keepFrameTime(Player& player, Scene& scene) {
  beginFrame(player);
  if (player.ports.time) recordFrameStat(player.clock, player.ports.time->nowMs());
  scheduleNextTick(player, scene);
}

}  // namespace vashel
