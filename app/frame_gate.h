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
//
// While nobody can see the window (hidden, fully covered, the screen locked)
// nothing is drawn, but the clock keeps its time: each tick runs the clock's
// part of a frame (frame advance, action changes, sounds, re-arming), so the
// first frame drawn afterwards is the one due at that moment.
class FrameGate {
 public:
  // `frame` draws one frame (the frame routine with its schedule-next flag);
  // `tickArmed` says whether a tick is pending on the timer; `keepTime` runs
  // in place of a tick-driven frame while unseen (keepFrameTime).
  FrameGate(Player& player, std::function<void(bool scheduleNext)> frame,
            std::function<bool()> tickArmed, std::function<void()> keepTime = {});

  // A frame now, unless one is being drawn: then nothing, for a shell redraw.
  void renderFrame(bool scheduleNext);
  // The timer fired: while playing a tick-driven frame, then the range wrap.
  void tick();

  // Whether any of the window can be seen; at first it can. Returns true
  // when it can be seen again and a redraw was asked for meanwhile: the
  // caller then draws (and presents) one.
  bool setSeen(bool seen);
  bool seen() const { return seen_; }

  bool inFrame() const { return inFrame_; }
  // Frames drawn since start: the paint count.
  std::uint64_t framesDrawn() const { return framesDrawn_; }
  // Tick-driven frames left undrawn because nobody could see them.
  std::uint64_t framesUnseen() const { return framesUnseen_; }

 private:
  Player& player_;
  std::function<void(bool)> frame_;
  std::function<bool()> tickArmed_;
  std::function<void()> keepTime_;
  bool inFrame_ = false;
  bool tickKept_ = false;
  bool seen_ = true;
  bool redrawOwed_ = false;
  std::uint64_t framesDrawn_ = 0;
  std::uint64_t framesUnseen_ = 0;
};

// The clock's part of a tick-driven frame, for a frame nobody sees: frame
// advance with its sound, the frame statistic, the range end and re-arming.
void keepFrameTime(Player& player, Scene& scene);

}  // namespace vashel
