// Frames never nest; a tick that arrives inside one is served after it.
#include "app/frame_gate.h"

#include <utility>

namespace vashel {

FrameGate::FrameGate(Player& player, std::function<void(bool scheduleNext)> frame,
                     std::function<bool()> tickArmed)
    : player_(player), frame_(std::move(frame)), tickArmed_(std::move(tickArmed)) {}

void FrameGate::renderFrame(bool scheduleNext) {
  if (inFrame_) return;
  inFrame_ = true;
  ++framesDrawn_;
  frame_(scheduleNext);
  inFrame_ = false;
  if (tickKept_) {
    tickKept_ = false;
    // A tick-driven frame has re-armed the clock already (and a paused one
    // arms nothing); a mouse or key frame has not.
    if (!tickArmed_()) tick();
  }
}

void FrameGate::tick() {
  if (inFrame_) {
    tickKept_ = true;
    return;
  }
  if (player_.clock.playState == kPlaying) renderFrame(true);
  finishTick(player_);
}

}  // namespace vashel
