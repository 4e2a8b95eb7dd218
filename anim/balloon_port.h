// The player's balloon port over the balloon's logic: the player decides
// what shows and when; the Balloon prepares, pages, measures and places it.
#pragma once

#include <cstdint>

#include "anim/player.h"
#include "messages/balloon.h"

namespace vashel {

class BalloonLogicPort : public BalloonPort {
 public:
  // Both must outlive the port. When the balloon has shown every page of a
  // text, the player's list moves on (or the balloon hides).
  BalloonLogicPort(Player& player, Balloon& balloon);

  void showText(std::string_view text, int seconds, std::string_view title,
                std::string_view link) override;
  void showEntry(std::string_view text, int displayMs) override;
  void hide() override;
  void layout(int mode) override;

  // One tick of the balloon's 500 ms timer. When the time of a drawn page
  // is up and its text has another page, that page is drawn for the
  // message's display time again; otherwise the player's timer step runs
  // (the next entry of a list, undrawn, or hiding).
  void timerTick();

  Balloon& balloon() { return balloon_; }

 private:
  Player& player_;
  Balloon& balloon_;
  std::int64_t displayMs_ = 0;  // of the message on show
};

}  // namespace vashel
