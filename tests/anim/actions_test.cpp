#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "anim/player.h"
#include "player_fakes.h"

namespace vashel {
namespace {

using testing::addElement;
using testing::PlayerRig;

// The shift register from state 12345: one step gives 24691; 101 steps 31440.
constexpr std::uint32_t kSeed = 12345;

// <root><vashel> with two sequences sharing a name and a pick, and a
// randomaction list.
struct MessageTree {
  MessageTree() {
    XmlElement* vashel = addElement(root, "vashel");
    wave = addElement(*vashel, "sequence",
                      {{"name", "wave"}, {"pick", "Head"}, {"start", "10"}, {"end", "12"}});
    addElement(*wave, "message", {{"frame", "25"}}, "hi");
    addElement(*vashel, "other", {{"name", "jump"}});
    jump = addElement(*vashel, "sequence", {{"name", "jump"}, {"start", "40x"}});
    addElement(*jump, "message", {}, "hop");
    addElement(*vashel, "sequence", {{"name", "wave"}, {"pick", "Head"}, {"start", "1"}});
    XmlElement* list = addElement(root, "randomaction");
    addElement(*list, "item", {{"name", "wave"}});
    addElement(*list, "item", {{"name", "jump"}});
    addElement(*list, "item");  // names nothing
    addElement(root, "empty");
  }
  XmlElement root;
  XmlElement* wave = nullptr;
  XmlElement* jump = nullptr;
};

TEST(Sequences, FoundByPickFirstInDocumentOrderCaseSensitive) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.messageRoot = &tree.root;
  rig.startUp();
  rig.player.balloon.currentSequence = tree.jump;  // a pick replaces a list in progress
  rig.player.balloon.listIndex = 3;
  rig.player.balloon.expiry = 999;

  setNewAction(rig.player, rig.scene, 5, "Head", {});
  EXPECT_EQ(rig.player.clock.startFrame, 10);
  EXPECT_EQ(rig.player.clock.endFrame, 12);
  EXPECT_EQ(rig.player.clock.framesInRange, 3);
  EXPECT_EQ(rig.player.clock.playStartTime, rig.clock.ms);
  // The balloon steps into the sequence's messages at once.
  EXPECT_EQ(rig.player.balloon.currentSequence, tree.wave);
  EXPECT_EQ(rig.player.balloon.listIndex, 1);  // restarted, then its first entry taken
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_FALSE(rig.balloon.shown[0].hasText);
  EXPECT_EQ(rig.balloon.layouts, (std::vector<int>{0, 1}));

  // "head" is not "Head": action 5, undefined, falls back to the idle action.
  rig.random.values = {50, 99};  // no idle message; then the 40/101 return
  setNewAction(rig.player, rig.scene, 5, "head", {});
  EXPECT_EQ(rig.player.clock.startFrame, 1);
  EXPECT_EQ(rig.player.clock.endFrame, 10);
}

TEST(Sequences, AJapanesePickFindsTheMeshOfThatName) {
  // The reader keeps attribute values in UTF-8; the scene's mesh names are
  // code page 932 bytes, as the click passes them.
  XmlDocument document;
  document.buffer() = "<vashel><sequence pick=\"耳\" start=\"30\" end=\"39\"/></vashel>";
  XmlElement root;
  document.parse(&root);
  PlayerRig rig;
  rig.player.messageRoot = &root;
  rig.startUp();
  setNewAction(rig.player, rig.scene, 5, "\x8e\xa8", {});  // 耳
  EXPECT_EQ(rig.player.clock.startFrame, 30);
  EXPECT_EQ(rig.player.clock.endFrame, 39);
}

TEST(Sequences, ChosenFromARandomactionChild) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.messageRoot = &tree.root;
  std::vector<PlayerEvent> events;
  rig.player.trace = [&](const PlayerEvent& e) { events.push_back(e); };
  rig.startUp();
  events.clear();

  rig.random.values = {4};  // 4 % 3 = child 1, "jump"
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.random.drawn, 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, PlayerEvent::SequenceStarted);
  EXPECT_EQ(events[0].sequence, tree.jump);
  // "40x" reads as 40; a missing end as 0.
  EXPECT_EQ(rig.player.clock.startFrame, 40);
  EXPECT_EQ(rig.player.clock.endFrame, 0);
  EXPECT_EQ(rig.player.balloon.currentSequence, tree.jump);

  // Without a pick name, a sequence already in the balloon is kept, and a
  // message that has not expired is left alone.
  rig.player.balloon.expiry = static_cast<std::uint32_t>(rig.clock.ms) + 5000;
  rig.balloon.shown.clear();
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.player.clock.startFrame, 10);  // wave
  EXPECT_EQ(rig.player.balloon.currentSequence, tree.jump);
  EXPECT_TRUE(rig.balloon.shown.empty());
  // The action table is left alone while sequences play.
  EXPECT_EQ(rig.scene.actions[0].playCount, 1);
}

TEST(Sequences, StartClearsFrameStatisticsAndWaitsForTheMessageToExpire) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.messageRoot = &tree.root;
  rig.startUp();
  rig.player.clock.frameStats.assign(50, FrameStat{1, 2});
  rig.player.balloon.currentSequence = tree.wave;
  rig.player.balloon.expiry = static_cast<std::uint32_t>(rig.clock.ms);  // ends now: not yet passed
  setNewAction(rig.player, rig.scene, 0, "Head", {});
  EXPECT_TRUE(rig.player.clock.frameStats.empty());
  EXPECT_EQ(rig.player.balloon.listIndex, 1);  // expiry reset to 0 by the pick...
  EXPECT_EQ(rig.balloon.shown.size(), 1u);  // ...so the first entry shows

  rig.player.balloon.expiry = static_cast<std::uint32_t>(rig.clock.ms);
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.balloon.shown.size(), 1u);
  rig.clock.ms += 1;
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.balloon.shown.size(), 2u);
}

TEST(Balloon, AListInProgressComesFirstAndAnOpenMenuHides) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.balloon.currentSequence = tree.wave;  // one entry, "hi" for 2.5 s
  showBalloon(rig.player, "news", 5);
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_FALSE(rig.balloon.shown[0].hasText);
  EXPECT_EQ(rig.balloon.shown[0].text, "hi");
  EXPECT_EQ(rig.balloon.shown[0].displayMs, 2500);

  balloonTimerFired(rig.player);  // not ended yet
  EXPECT_EQ(rig.balloon.shown.size(), 1u);
  rig.clock.ms += 2501;
  balloonTimerFired(rig.player);  // the list is used up
  ASSERT_EQ(rig.balloon.shown.size(), 2u);
  EXPECT_TRUE(rig.balloon.shown[1].hidden);
  EXPECT_EQ(rig.player.balloon.currentSequence, nullptr);

  showBalloon(rig.player, "news", 0, "t", "l");
  ASSERT_EQ(rig.balloon.shown.size(), 3u);
  EXPECT_TRUE(rig.balloon.shown[2].hasText);
  EXPECT_EQ(rig.balloon.shown[2].seconds, 3600);
  const std::uint32_t expiry = rig.player.balloon.expiry;
  EXPECT_EQ(expiry, static_cast<std::uint32_t>(rig.clock.ms) + 3600000);

  rig.player.menuOpen = [] { return true; };
  showBalloon(rig.player, "more", 5);
  ASSERT_EQ(rig.balloon.shown.size(), 4u);
  EXPECT_TRUE(rig.balloon.shown[3].hidden);
  EXPECT_EQ(rig.player.balloon.expiry, expiry);
  EXPECT_TRUE(rig.balloon.layouts.empty());  // layout is the caller's
}

TEST(Sequences, OneWithoutMessagesLeavesTheBalloonAlone) {
  PlayerRig rig;
  MessageTree tree;
  addElement(*tree.root.child(0), "sequence",
             {{"name", "rest"}, {"pick", "Tail"}, {"start", "50"}, {"end", "60"}});
  rig.player.messageRoot = &tree.root;
  rig.startUp();
  showBalloon(rig.player, "welcome", 10);
  setNewAction(rig.player, rig.scene, 0, "Tail", {});
  EXPECT_EQ(rig.player.clock.startFrame, 50);  // the sequence plays ...
  ASSERT_EQ(rig.balloon.shown.size(), 1u);     // ... and the welcome stays
  EXPECT_FALSE(rig.balloon.shown[0].hidden);
  EXPECT_EQ(rig.player.balloon.currentSequence, nullptr);
}

TEST(Sequences, ChildrenThatNameNothingGiveTheActionInstead) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.messageRoot = &tree.root;
  rig.define(4, 100, 120);
  rig.startUp();

  rig.random.values = {2, 99};  // the nameless child; then the 40/101 return
  setNewAction(rig.player, rig.scene, 4, "Head", "randomaction");
  EXPECT_EQ(rig.player.clock.startFrame, 100);  // not the pick: the element decides

  rig.random.values = {99};  // a childless element draws nothing
  setNewAction(rig.player, rig.scene, 4, {}, "empty");
  EXPECT_EQ(rig.player.clock.startFrame, 100);
  EXPECT_EQ(rig.random.drawn, 3);

  // An element that does not exist falls back to the pick name.
  setNewAction(rig.player, rig.scene, 4, "Head", "nowhere");
  EXPECT_EQ(rig.player.clock.startFrame, 10);
}

TEST(IdleLoop, RandomMaxZeroRepeatsTheIdleActionForever) {
  PlayerRig rig;
  rig.define(1, 50, 60);
  rig.startUp();
  rig.random.values = {50, 99};  // first loop: no action message, no feed
  for (int i = 0; i < 200; ++i) setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.player.currentAction, 0);
  EXPECT_EQ(rig.scene.actions[0].playCount, 201);
  EXPECT_EQ(rig.scene.actions[1].playCount, 0);
  EXPECT_EQ(rig.player.idleRepeatCounter, 201);
  EXPECT_EQ(rig.random.drawn, 2);  // later loops come before the next message time
}

TEST(IdleLoop, FirstIdleEndAlreadyStartsARandomAction) {
  PlayerRig rig;
  for (int slot = 1; slot <= 3; ++slot) rig.define(slot, slot * 100, slot * 100 + 9);
  rig.player.randomMax = 3;
  rig.player.randomTime = 2;
  rig.player.randomJitter = 1;
  rig.player.randomState = kSeed;
  rig.random.values = {1};  // jitter draw: 1 % 2
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_EQ(rig.player.currentAction, 2);  // 24691 % 3 + 1
  EXPECT_EQ(rig.player.clock.startFrame, 200);
  EXPECT_EQ(rig.player.lastRandomAction, 2);
  EXPECT_EQ(rig.player.idleRepeatLimit, 4);  // 2 + 1 + 1
  EXPECT_EQ(rig.player.idleRepeatCounter, 0);

  // Its end brings the idle action back for `limit` loops.
  rig.random.values = {50, 99};
  for (int loop = 1; loop <= 4; ++loop) {
    setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
    EXPECT_EQ(rig.player.currentAction, 0);
    EXPECT_EQ(rig.player.idleRepeatCounter, loop);
  }
  rig.random.values = {0, 99};  // jitter; then the 40/101 return
  setNewAction(rig.player, rig.scene, 0, {}, "randomaction");
  EXPECT_NE(rig.player.currentAction, 0);
  EXPECT_NE(rig.player.currentAction, 2);  // never the same random action twice in a row
  EXPECT_EQ(rig.player.idleRepeatLimit, 3);
}

TEST(IdleLoop, JitterZeroGivesAConstantLimitOfAtLeastOne) {
  PlayerRig rig;
  rig.define(1, 50, 60);
  rig.player.randomMax = 1;
  rig.player.randomTime = 7;
  rig.player.randomJitter = 0;
  setNewAction(rig.player, rig.scene, 0, {}, {});  // no jitter draw is taken
  EXPECT_EQ(rig.player.idleRepeatLimit, 7);
  EXPECT_EQ(rig.random.drawn, 0);

  PlayerRig none;
  none.define(1, 50, 60);
  none.player.randomMax = 1;
  none.player.randomTime = 0;
  none.player.randomJitter = 0;
  setNewAction(none.player, none.scene, 0, {}, {});
  EXPECT_EQ(none.player.idleRepeatLimit, 1);
}

TEST(IdleLoop, RandomActionWithSoundOutOfRangeFallsBackToIdle) {
  PlayerRig rig;
  std::FILE* log = std::tmpfile();
  rig.player.log = log;
  rig.define(1, 50, 60).soundSlot = 100;
  rig.player.randomMax = 1;
  rig.player.randomJitter = 0;
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.player.currentAction, 0);
  EXPECT_EQ(rig.player.idleRepeatCounter, 1);
  std::rewind(log);
  char line[128] = {};
  ASSERT_NE(std::fgets(line, sizeof line, log), nullptr);
  EXPECT_STREQ(line, "[anim key(1) is out of range] reset to 0: anim:50   next: 60\n");
  std::fclose(log);
}

TEST(IdleLoop, ExtremeSettingsStayInRange) {
  PlayerRig rig;
  rig.define(1, 50, 60);
  rig.player.randomMax = INT_MAX;
  rig.player.randomTime = INT_MAX;
  rig.player.randomJitter = INT_MAX;
  rig.player.randomMessageMin = INT_MIN;
  rig.player.randomMessageMax = INT_MAX;
  rig.random.values = {kRandMax};
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.player.idleRepeatLimit, INT_MAX);
  EXPECT_EQ(rig.player.currentAction, 0);  // a pick beyond the table plays the idle action

  rig.random.values = {kRandMax, 99, 99};
  rig.player.idleRepeatCounter = 0;
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.player.nextMessageTime,
            rig.clock.seconds + static_cast<std::int64_t>(INT_MIN) + kRandMax);
}

TEST(RandomAction, ShiftRegisterAndTheNoRepeatRule) {
  Player player;
  player.randomState = kSeed;
  EXPECT_EQ(chooseRandomAction(player, 0), 0);
  EXPECT_EQ(player.randomState, kSeed);  // n = 0 draws nothing

  EXPECT_EQ(chooseRandomAction(player, 1), 1);
  EXPECT_EQ(player.randomState, 24691u);
  // Only 1 can come out: after 100 equal results the rule gives up.
  EXPECT_EQ(chooseRandomAction(player, 1), 1);
  EXPECT_EQ(player.randomState, 31440u);
}

TEST(RandomAction, RegisterNeverSticksAtZero) {
  Player player;
  player.randomState = 0x4000;  // would shift out to 0 and stay there
  EXPECT_EQ(chooseRandomAction(player, 1000), 2);
  EXPECT_EQ(player.randomState, 1u);
  EXPECT_NE(chooseRandomAction(player, 1000), 2);
}

TEST(FirstCall, ShowsNoBalloon) {
  PlayerRig rig;
  MessageTree tree;
  rig.player.messageRoot = &tree.root;
  rig.scene.defaultMessage = {"hello", 5};
  rig.feed.items = {{"channel", "", ""}, {"t", "news", "l"}};
  rig.define(4, 100, 120).messages.push_back(MessageEntry{-1, 5, -1, "msg"});
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_EQ(rig.player.currentAction, 4);  // the action does change
  EXPECT_TRUE(rig.balloon.shown.empty());
  EXPECT_EQ(rig.random.drawn, 0);
  EXPECT_EQ(rig.scene.defaultMessage.text, "hello");

  PlayerRig picked;
  picked.player.messageRoot = &tree.root;
  setNewAction(picked.player, picked.scene, 4, "Head", {});
  EXPECT_EQ(picked.player.balloon.currentSequence, nullptr);
  EXPECT_TRUE(picked.player.firstCallDone);
}

TEST(DefaultMessage, PreemptsOneActionChange) {
  PlayerRig rig;
  rig.define(4, 100, 120);
  rig.scene.defaultMessage = {"hello", 5};
  rig.startUp();
  const double frame = rig.player.clock.currentFrame;

  setNewAction(rig.player, rig.scene, 4, {}, {});
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_EQ(rig.balloon.shown[0].text, "hello");
  EXPECT_EQ(rig.balloon.shown[0].seconds, 5);
  EXPECT_EQ(rig.balloon.layouts, (std::vector<int>{0, 1}));
  EXPECT_EQ(rig.player.currentAction, 0);
  EXPECT_EQ(rig.player.clock.currentFrame, frame);
  EXPECT_TRUE(rig.scene.defaultMessage.text.empty());

  rig.random.values = {99};
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_EQ(rig.player.currentAction, 4);
  EXPECT_EQ(rig.balloon.shown.size(), 1u);
}

TEST(RandomMessages, IntervalAndActionMessageChance) {
  PlayerRig rig;
  rig.scene.actions[0].messages.push_back(MessageEntry{-1, 4, -1, "at HH:MM"});
  rig.player.randomMessageMin = 60;
  rig.player.randomMessageMax = 20;  // below the minimum: exactly the minimum
  rig.startUp();

  rig.random.values = {10};  // rand() % 101 <= 10: an idle message
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.player.nextMessageTime, rig.clock.seconds + 60);
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_EQ(rig.balloon.shown[0].text, "at 09:05");
  EXPECT_EQ(rig.balloon.shown[0].seconds, 4);

  rig.clock.seconds += 59;  // too early: nothing drawn, nothing shown
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.random.drawn, 1);

  rig.clock.seconds += 1;
  rig.player.randomMessageMax = 90;
  rig.random.values = {100, 11, 61};  // 100 % 31; then no message; then no feed
  setNewAction(rig.player, rig.scene, 0, {}, {});
  EXPECT_EQ(rig.player.nextMessageTime, rig.clock.seconds + 60 + 7);
  EXPECT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_TRUE(rig.random.values.empty());
}

TEST(ActionMessages, ChosenAmongThoseForTheCurrentHour) {
  PlayerRig rig;
  Action& a = rig.define(4, 100, 120);
  a.messages = {MessageEntry{-1, 1, 8, "eight"}, MessageEntry{-1, 2, -1, "any"},
                MessageEntry{-1, 3, 9, "nine"}, MessageEntry{-1, 4, 10, "ten"}};
  rig.random.values = {3};  // 3 % 2: the second eligible one
  showActionMessage(rig.player, rig.scene, 4);
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_EQ(rig.balloon.shown[0].text, "nine");
  EXPECT_EQ(rig.balloon.shown[0].seconds, 3);
  EXPECT_EQ(a.messages.size(), 4u);

  rig.clock.local.hour = 10;  // a single eligible message: no draw
  a.messages.erase(a.messages.begin() + 1);
  showActionMessage(rig.player, rig.scene, 4);
  EXPECT_EQ(rig.balloon.shown.back().text, "ten");

  rig.clock.local.hour = 3;
  showActionMessage(rig.player, rig.scene, 4);
  rig.player.menuOpen = [] { return true; };
  rig.clock.local.hour = 10;
  showActionMessage(rig.player, rig.scene, 4);
  showActionMessage(rig.player, rig.scene, 2000);  // outside the table
  EXPECT_EQ(rig.balloon.shown.size(), 2u);
  EXPECT_EQ(rig.random.drawn, 1);
}

class FeedChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.define(4, 100, 120);
    rig.startUp();
  }
  void addItems(int count) {
    rig.feed.items.push_back({"channel", "about", ""});
    for (int i = 1; i < count; ++i) {
      rig.feed.items.push_back(
          {"t" + std::to_string(i), "description " + std::to_string(i), "l" + std::to_string(i)});
    }
  }
  PlayerRig rig;
};

TEST_F(FeedChoice, TwoItemsShowTheOnlyRealItem) {
  addItems(2);
  rig.random.values = {60};  // 60 is not above 60: go on
  setNewAction(rig.player, rig.scene, 4, {}, {});
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  const auto& shown = rig.balloon.shown[0];
  EXPECT_EQ(shown.text, "description 1");
  EXPECT_EQ(shown.title, "t1");
  EXPECT_EQ(shown.link, "l1");
  EXPECT_EQ(shown.seconds, 10);  // (2 + 13) / 5 is below the minimum
  EXPECT_EQ(rig.balloon.layouts, (std::vector<int>{0, 1}));
}

TEST_F(FeedChoice, ManyItemsNeverTheChannelAndLongTextsStayLonger) {
  addItems(4);
  rig.feed.items[3].description = std::string(100, 'x');
  rig.random.values = {0, 5};  // 5 % 3 = 2: item 3
  setNewAction(rig.player, rig.scene, 4, {}, {});
  ASSERT_EQ(rig.balloon.shown.size(), 1u);
  EXPECT_EQ(rig.balloon.shown[0].title, "t3");
  EXPECT_EQ(rig.balloon.shown[0].seconds, 20);  // (2 + 100) / 5

  rig.random.values = {0, 3};  // 3 % 3 = 0: item 1
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_EQ(rig.balloon.shown.back().title, "t1");
}

TEST_F(FeedChoice, NothingToShow) {
  rig.random.values = {0};  // no items at all
  setNewAction(rig.player, rig.scene, 4, {}, {});
  addItems(1);  // the channel only
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 4, {}, {});
  addItems(2);
  rig.feed.items = {{"channel", "", ""}, {"t1", "", "l1"}};  // no description
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 4, {}, {});
  rig.random.values = {61};  // the 40/101 return
  setNewAction(rig.player, rig.scene, 4, {}, {});
  rig.player.menuOpen = [] { return true; };
  rig.random.values = {0};
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_TRUE(rig.balloon.shown.empty());
  EXPECT_TRUE(rig.random.values.empty());
}

TEST(ActionStart, SwitchesCameraAndSound) {
  PlayerRig rig;
  rig.scene.cameras.resize(2);
  rig.scene.cameras[0].name = "persp";
  rig.scene.cameras[1].name = "close";
  rig.scene.activeCamera = 0;
  Action& near = rig.define(4, 100, 120);
  near.cameraName = "close";
  near.soundSlot = 7;
  Action& far = rig.define(5, 200, 220);
  far.cameraName = "missing";
  far.soundSlot = 3;
  rig.player.currentSound = 3;
  rig.player.soundRestart = false;

  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_EQ(rig.scene.activeCamera, 1);
  EXPECT_EQ(rig.sound.calls, std::vector<std::string>{"stop 3"});
  EXPECT_EQ(rig.player.currentSound, 7);
  EXPECT_TRUE(rig.player.soundRestart);

  rig.random.values = {99};
  setNewAction(rig.player, rig.scene, 5, {}, {});
  EXPECT_EQ(rig.scene.activeCamera, 1);  // no camera of that name: unchanged
  EXPECT_EQ(rig.sound.calls.size(), 1u);  // slot 7 holds no buffer
  EXPECT_EQ(rig.player.currentSound, 3);
}

TEST(ActionStart, MutedKeepsTheCurrentSound) {
  PlayerRig rig;
  rig.define(4, 100, 120).soundSlot = 9;
  rig.player.currentSound = 3;
  rig.player.soundRestart = false;
  rig.player.nosound = [] { return true; };
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_EQ(rig.sound.calls, std::vector<std::string>{"stop 3"});
  EXPECT_EQ(rig.player.currentSound, 3);
  EXPECT_FALSE(rig.player.soundRestart);
}

TEST(ActionStart, NumbersOutsideTheTableAndUndefinedActionsPlayTheIdleAction) {
  for (int key : {5, 1000, 123456, -3}) {
    SCOPED_TRACE(key);
    PlayerRig rig;
    setNewAction(rig.player, rig.scene, key, {}, {});
    EXPECT_EQ(rig.player.currentAction, 0);
    EXPECT_EQ(rig.player.clock.endFrame, 10);
    EXPECT_EQ(rig.scene.actions[0].playCount, 1);
  }
}

TEST(ActionStart, StatisticsRestartWithTheAction) {
  PlayerRig rig;
  rig.define(4, 100, 120);
  rig.player.clock.frameStats.push_back({1, 2});
  rig.player.clock.playTime = 77;
  rig.clock.ms = 4242;
  setNewAction(rig.player, rig.scene, 4, {}, {});
  EXPECT_TRUE(rig.player.clock.frameStats.empty());
  EXPECT_EQ(rig.player.clock.playTime, 0);
  EXPECT_EQ(rig.player.clock.playStartTime, 4242);
  EXPECT_EQ(rig.player.clock.framesInRange, 21);
  EXPECT_DOUBLE_EQ(rig.player.clock.currentFrame, 100.0);
}

TEST(ActionTable, FindActionByNameIsExactAndFirst) {
  Scene scene;
  for (int slot : {0, 1, 2, 4}) scene.actions[static_cast<std::size_t>(slot)].name = "a";
  scene.actions[3].name = "Wave";
  scene.actions[8].name = "wave";
  scene.actions[9].name = "wave";
  EXPECT_EQ(findActionByName(scene, "wave"), 8);
  EXPECT_EQ(findActionByName(scene, "Wave"), 3);
  EXPECT_EQ(findActionByName(scene, "wav"), -1);
  EXPECT_EQ(findActionByName(scene, ""), 5);  // the first slot without a name
  for (Action& action : scene.actions) action.name = "named";
  EXPECT_EQ(findActionByName(scene, ""), -1);
}

TEST(ActionTable, RebuiltFromADownloadedSet) {
  PlayerRig rig;
  std::FILE* log = std::tmpfile();
  rig.player.log = log;
  Action& old = rig.define(5, 1, 2);
  old.cameraName = "cam";
  old.soundSlot = 4;
  old.messages.push_back(MessageEntry{-1, 1, -1, "old"});
  const std::vector<AnimDefinition> records = {
      {5, "bow", 30, 40}, {-1, "ignored", 1, 2}, {5000, "extra", 50, 60}};
  rebuildActions(rig.player, rig.scene, records);

  const Action& bow = rig.scene.actions[5];
  EXPECT_EQ(bow.name, "bow");
  EXPECT_EQ(bow.startFrame, 30);
  EXPECT_EQ(bow.endFrame, 40);
  EXPECT_TRUE(bow.messages.empty());
  EXPECT_TRUE(bow.cameraName.empty());
  EXPECT_EQ(bow.soundSlot, 0);
  ASSERT_EQ(rig.scene.actions.size(), 1001u);
  EXPECT_EQ(rig.scene.actions[1000].name, "extra");
  EXPECT_EQ(findActionByName(rig.scene, "ignored"), -1);

  // The appended action can be played.
  setNewAction(rig.player, rig.scene, findActionByName(rig.scene, "extra"), {}, {});
  EXPECT_EQ(rig.player.clock.startFrame, 50);

  std::rewind(log);
  std::string text(256, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), log));
  EXPECT_EQ(text.substr(0, text.find("[PLAYEND]")),
            "キー数: 3\n"
            "キー再構築 key:5, (30, 40) obj=bow\n"
            "キー再構築 key:-1, (1, 2) obj=ignored\n"
            "キー再構築 key:5000, (50, 60) obj=extra\n");
  std::fclose(log);
}

TEST(StartUp, SceneSettingsRangeAndTheStartupAction) {
  PlayerRig rig;
  rig.scene.settings.randomAction = std::array<int, 3>{0, 4, 2};
  rig.scene.settings.randomMessage = std::array<int, 2>{30, 90};
  rig.scene.sceneStartFrame = 0;
  rig.scene.sceneEndFrame = 500;
  EXPECT_DOUBLE_EQ(startPlayback(rig.player, rig.scene, -1), 1.0);
  EXPECT_EQ(rig.player.randomTime, 4);
  EXPECT_EQ(rig.player.randomJitter, 2);
  EXPECT_EQ(rig.player.randomMessageMin, 30);
  EXPECT_EQ(rig.player.randomMessageMax, 90);
  EXPECT_EQ(rig.player.clock.endFrame, 500);
  EXPECT_EQ(rig.player.callCounter, 0);

  rig.define(99, 700, 710);
  EXPECT_DOUBLE_EQ(startPlayback(rig.player, rig.scene, 99), 700.0);
  EXPECT_EQ(rig.player.currentAction, 99);
  EXPECT_TRUE(rig.player.firstCallDone);
}

}  // namespace
}  // namespace vashel
