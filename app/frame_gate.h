// One frame at a time, and no tick of the frame clock lost.
#pragma once

#include <cstdint>
#include <functional>

#include "anim/player.h"

namespace vashel {

// A modal box opened inside a frame (the statistics box, the mail notice, an
// error box, a dialog) runs its own event loop, where the clock's tick can
// fire. That tick must not draw a frame inside the open one, nor may it be
// dropped: it is the clock's only pending tick, and without it the character
// stops for good. It is kept and served as soon as the outer frame has ended,
// unless that frame has re-armed the clock itself.
class FrameGate {
 public:
  // `frame` draws one frame (the frame routine with its schedule-next flag);
  // `tickArmed` says whether a tick is pending on the timer.
  FrameGate(Player& player, std::function<void(bool scheduleNext)> frame,
            std::function<bool()> tickArmed);

  // A frame now, unless one is being drawn: then nothing, for a shell redraw.
  void renderFrame(bool scheduleNext);
  // The timer fired: while playing a tick-driven frame, then the range wrap.
  void tick();

  bool inFrame() const { return inFrame_; }
  // Frames drawn since start: the paint count.
  std::uint64_t framesDrawn() const { return framesDrawn_; }

 private:
  Player& player_;
  std::function<void(bool)> frame_;
  std::function<bool()> tickArmed_;
  bool inFrame_ = false;
  bool tickKept_ = false;
  std::uint64_t framesDrawn_ = 0;
};

}  // namespace vashel
