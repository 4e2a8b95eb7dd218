// The player's balloon port over the balloon's logic: what its timer ticks
// draw, turn or leave for the player.
#include "anim/balloon_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player_fakes.h"

namespace vashel {
namespace {

using testing::addElement;

class DrawnPages final : public BalloonWindows, public TextMeasure {
 public:
  TextMeasure& measure() override { return *this; }
  TextExtent extent(BalloonFont, std::string_view line) override {
    return {static_cast<int>(line.size()) * 6, 12};
  }
  void place(const BalloonPlacement&) override {}
  void draw(const BalloonPicture& picture) override { pages.push_back(picture.page); }
  void hide() override { pages.push_back("(hidden)"); }
  void restartTimer() override {}
  std::vector<std::string> pages;
};

struct PortRig {
  PortRig() : balloon(windows), port(player, balloon) {
    player.ports = PlayerPorts{&clock, &random, nullptr, &port, nullptr, nullptr};
    player.log = nullptr;
    player.menuOpen = [this] { return menuOpen; };
  }
  testing::FakeClock clock;
  testing::ScriptedRandom random;
  DrawnPages windows;
  Balloon balloon;
  Player player;
  BalloonLogicPort port;
  bool menuOpen = false;
};

TEST(BalloonPortTimer, TurnsADrawnPageWhenItsTimeIsUp) {
  PortRig rig;
  showBalloon(rig.player, "one\\0two", 2);
  rig.port.layout(0);
  rig.port.layout(1);
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"one"}));

  rig.clock.ms += 2000;  // ends now: not yet passed
  rig.port.timerTick();
  EXPECT_EQ(rig.windows.pages.size(), 1u);
  rig.clock.ms += 1;
  rig.port.timerTick();
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"one", "two"}));

  // The last page stays the message's time again, then the balloon hides.
  rig.clock.ms += 2000;
  rig.port.timerTick();
  EXPECT_EQ(rig.windows.pages.size(), 2u);
  rig.clock.ms += 1;
  rig.port.timerTick();
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"one", "two", "(hidden)"}));
}

TEST(BalloonPortTimer, NoPageTurnsWhileAMenuIsOpen) {
  PortRig rig;
  showBalloon(rig.player, "one\\0two", 1);
  rig.port.layout(1);
  rig.menuOpen = true;
  rig.clock.ms += 1001;
  rig.port.timerTick();  // the message ends as without pages
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"one", "(hidden)"}));
}

TEST(BalloonPortTimer, AnEntryTakenByTheTimerIsDrawnWithItsPages) {
  PortRig rig;
  XmlElement sequence;
  addElement(sequence, "m", {{"frame", "10"}}, "first");
  addElement(sequence, "m", {{"frame", "10"}}, "second\\0more");
  startSequenceList(rig.player.balloon, sequence);
  showBalloon(rig.player, std::nullopt, 0);
  rig.port.layout(1);
  rig.clock.ms += 1001;
  rig.port.timerTick();  // takes "second" and draws it
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"first", "second"}));
  rig.clock.ms += 1001;
  rig.port.timerTick();  // its next page for the entry's time again
  rig.clock.ms += 1001;
  rig.port.timerTick();  // the list is used up
  EXPECT_EQ(rig.windows.pages, (std::vector<std::string>{"first", "second", "more", "(hidden)"}));
  EXPECT_EQ(rig.player.balloon.currentSequence, nullptr);

  // With a popup menu open the entry is taken but not drawn.
  startSequenceList(rig.player.balloon, sequence);
  rig.menuOpen = true;
  rig.port.timerTick();
  EXPECT_EQ(rig.balloon.text(), "first");
  EXPECT_EQ(rig.windows.pages.size(), 4u);
}

}  // namespace
}  // namespace vashel
