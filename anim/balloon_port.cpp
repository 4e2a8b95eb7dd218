// The player's balloon port over the balloon's logic.
#include "anim/balloon_port.h"

#include <optional>

namespace vashel {

BalloonLogicPort::BalloonLogicPort(Player& player, Balloon& balloon)
    : player_(player), balloon_(balloon) {
  balloon_.allPagesShown = [&player] { showBalloon(player, std::nullopt, 0); };
  balloon_.menuOpen = [&player] { return player.isMenuOpen(); };
}

// The player keeps the expiry; the time is kept here only for further pages.
void BalloonLogicPort::showText(std::string_view text, int seconds, std::string_view title,
                                std::string_view link) {
  displayMs_ = static_cast<std::int64_t>(seconds) * 1000;
  balloon_.showText(text, title, link);
}

void BalloonLogicPort::showEntry(std::string_view text, int displayMs) {
  displayMs_ = displayMs;
  balloon_.showEntry(text);
}

void BalloonLogicPort::hide() { balloon_.hide(); }

void BalloonLogicPort::layout(int mode) { balloon_.layout(mode); }


void BalloonLogicPort::timerTick() {
  const auto now = static_cast<std::uint32_t>(player_.ports.time->nowMs());
  if (messageExpired(player_.balloon, now) && balloon_.hasFurtherPage() &&
      !player_.isMenuOpen()) {
    player_.balloon.expiry = static_cast<std::uint32_t>(now + displayMs_);
    balloon_.layout(0);
    balloon_.layout(1);
    return;
  }
  balloonTimerFired(player_);
}

}  // namespace vashel
