// The shell's handlers over a fresh AppState, with the desktop side, the
// clock, the timer and the sound replaced by recording fakes: commands, debug
// keys, pause, joint dragging, mouse gestures and the mail notice.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "anim/player_fakes.h"
#include "app/shell.h"

namespace vashel {
namespace {

using testing::FakeClock;
using testing::RecordingTimer;

// The handlers' diagnostic lines, read back piece by piece.
class Output {
 public:
  Output() { stream_ = open_memstream(&buffer_, &size_); }
  ~Output() {
    std::fclose(stream_);
    std::free(buffer_);
  }
  std::FILE* stream() { return stream_; }
  // What was written since the last call.
  std::string take() {
    std::fflush(stream_);
    std::string text(buffer_ + taken_, size_ - taken_);
    taken_ = size_;
    return text;
  }

 private:
  std::FILE* stream_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::size_t taken_ = 0;
};

struct Box {
  std::string caption;
  std::string text;
  MessageIcon icon;
  bool owned;
};

class FakeUi final : public Ui {
 public:
  MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                           MessageBoxOptions options) override {
    boxes.push_back({std::string(caption), std::string(text), icon, options.ownedByMainWindow});
    if (onBox) onBox();
    return MessageResult::Ok;
  }
  std::vector<Box> boxes;
  std::function<void()> onBox;
};

// The desktop side: records every request. renderFrame notes the pick state
// it was asked to serve and may run a hook that stands in for the frame.
class FakePort final : public ShellPort {
 public:
  explicit FakePort(AppState& state) : state_(state) {}

  void renderFrame(bool scheduleNext) override {
    renders.push_back({scheduleNext, state_.render.pickState});
    if (onRender) onRender();
  }
  Ui& ui() override { return fakeUi; }
  std::uint32_t doubleClickTimeMs() const override { return 500; }
  void moveWindow(int x, int y) override { moves.push_back({x, y}); }
  void showWindow(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
  void setTopMost(bool on) override { topMost.push_back(on); }
  void quit() override { calls.push_back("quit"); }
  void removeTrayIcon() override { calls.push_back("removeTrayIcon"); }
  void menuChanged() override { ++menuChanges; }
  int popupRateMenu(int x, int y, int rateItem) override {
    popups.push_back({x, y, rateItem, state_.shell.menuOpen});
    return popupChoice;
  }
  void aboutBox() override { calls.push_back("about"); }
  void settingsDialog() override { calls.push_back("settingsDialog"); }
  void saveSettings() override { calls.push_back("save"); }
  void deleteSettings() override { calls.push_back("delete"); }
  bool onOpticalMedia() const override { return optical; }
  void toggleStartupShortcut() override { calls.push_back("shortcut"); }
  void fetchFeed(const std::string& url) override { calls.push_back("fetch " + url); }
  void followMainWindow(int x, int y) override {
    calls.push_back("follow " + std::to_string(x) + "," + std::to_string(y));
  }

  struct Render {
    bool scheduleNext;
    int pickState;
  };
  struct Move {
    int x, y;
  };
  struct Popup {
    int x, y, rateItem;
    bool menuOpen;
  };
  FakeUi fakeUi;
  std::vector<Render> renders;
  std::vector<Move> moves;
  std::vector<bool> topMost;
  std::vector<std::string> calls;
  std::vector<Popup> popups;
  int menuChanges = 0;
  int popupChoice = 0;
  bool optical = false;
  std::function<void()> onRender;

 private:
  AppState& state_;
};

class ZeroRandom final : public RandomSource {
 public:
  int rand() override { return 0; }
};

// A sound whose data runs at 8000 bytes per second, so that a seek offset
// can be checked.
class TimedSound final : public SoundPort {
 public:
  bool holdsBuffer(int slot) const override { return slot == 3; }
  void start(int slot) override { calls.push_back("start " + std::to_string(slot)); }
  void stop(int slot) override { calls.push_back("stop " + std::to_string(slot)); }
  void pause(int slot) override { calls.push_back("pause " + std::to_string(slot)); }
  void seek(int slot, long offset) override {
    calls.push_back("seek " + std::to_string(slot) + " " + std::to_string(offset));
  }
  long bytesPerSecond(int) const override { return 8000; }
  std::vector<std::string> calls;
};

class HandlersTest : public ::testing::Test {
 protected:
  HandlersTest() : port(state) {
    state.shell.out = output.stream();
    Player& player = state.player;
    player.ports.time = &clock;
    player.ports.timer = &timer;
    player.ports.random = &random;
    player.ports.sound = &sound;
    player.log = nullptr;
    player.currentSound = 3;
    player.soundEnabled = true;
    player.trace = [this](const PlayerEvent& e) {
      if (e.kind == PlayerEvent::ActionStarted) events.push_back("action " + std::to_string(e.action));
    };
    port.fakeUi.onBox = [this] { events.push_back("box"); };
    clock.ms = 100000;
    // Idle plays 1..90; the clock stands inside it.
    defineAction(0, 1, 90);
    setRange(player.clock, 1, 90);
    player.clock.currentFrame = 31.0;
    state.shell.windowX = 300;
    state.shell.windowY = 200;
  }

  void defineAction(int slot, int start, int end) {
    Action& a = state.scene.actions[static_cast<std::size_t>(slot)];
    a.id = slot;
    a.name = "action" + std::to_string(slot);
    a.startFrame = start;
    a.endFrame = end;
  }

  // Adds a joint and selects it as a pick would; returns its index.
  int selectJoint(std::array<double, 6> limits, int axisMask) {
    Joint joint;
    joint.name = "arm";
    joint.limits = limits;
    state.scene.joints.push_back(joint);
    state.render.selectedJoint = static_cast<int>(state.scene.joints.size()) - 1;
    state.render.selectedAxisMask = axisMask;
    state.render.selectionIndex = 1;
    return state.render.selectedJoint;
  }

  void key(char c) { handleDebugKey(state, port, c); }
  void command(int id) { handleCommand(state, port, id); }

  PointerEvent at(int screenX, int screenY, unsigned button, unsigned buttons,
                  unsigned modifiers = 0) const {
    PointerEvent e;
    e.screenX = screenX;
    e.screenY = screenY;
    e.x = screenX - state.shell.windowX;
    e.y = screenY - state.shell.windowY;
    e.button = button;
    e.buttons = buttons;
    e.modifiers = modifiers;
    return e;
  }
  void leftClick(int screenX, int screenY) {
    mousePress(state, port, at(screenX, screenY, kButtonLeft, kButtonLeft));
    mouseRelease(state, port, at(screenX, screenY, kButtonLeft, 0));
  }

  Output output;
  FakeClock clock;
  RecordingTimer timer;
  ZeroRandom random;
  TimedSound sound;
  std::vector<std::string> events;
  AppState state;
  FakePort port;
};

// --- Commands ---------------------------------------------------------------

TEST_F(HandlersTest, RateItemsSetTheRateAndTheCheckedItem) {
  const struct {
    int id, rate;
    const char* line;
  } rates[] = {{kCmdRate10, 10, "[FRAMESEC] 100.00 (10fps)\n"},
               {kCmdRate15, 15, "[FRAMESEC] 66.67 (15fps)\n"},
               {kCmdRate25, 25, "[FRAMESEC] 40.00 (25fps)\n"},
               {kCmdRate30, 30, "[FRAMESEC] 33.33 (30fps)\n"},
               {kCmdRate20, 20, "[FRAMESEC] 50.00 (20fps)\n"}};
  for (const auto& r : rates) {
    command(r.id);
    EXPECT_EQ(output.take(), std::string("fstate = 0x0\n") + r.line);
    EXPECT_EQ(state.shell.rateItem, r.id);
    EXPECT_EQ(state.player.clock.displayRate, r.rate);
    EXPECT_DOUBLE_EQ(state.player.clock.framePeriod, 1000.0 / r.rate);
  }
  EXPECT_TRUE(timer.delays.empty()) << "a rate change waits for the next tick";
}

TEST_F(HandlersTest, PlayArmsATickAfterTheTruncatedPeriodAndStopArmsNone) {
  command(kCmdRate15);
  command(kCmdStop);
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_TRUE(timer.delays.empty());
  output.take();
  command(kCmdPlay);
  EXPECT_EQ(output.take(), "fstate = 0x0\n");
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_EQ(timer.delays, std::vector<int>{66});
}

TEST_F(HandlersTest, PauseItemFlipsItsMarkAndResumesTheClock) {
  command(kCmdPause);
  EXPECT_EQ(output.take(), "fstate = 0x0\n");
  EXPECT_TRUE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_TRUE(timer.delays.empty());
  command(kCmdPause);
  EXPECT_EQ(output.take(), "fstate = 0x8\n");
  EXPECT_FALSE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_EQ(timer.delays, std::vector<int>{50});
  EXPECT_EQ(port.menuChanges, 2);
}

TEST_F(HandlersTest, NoSoundTakesTheCheckMarkAsItsCurrentValue) {
  command(kCmdNoSound);
  EXPECT_EQ(output.take(), "fstate = 0x0\nQnosound=1\n");
  EXPECT_EQ(state.settings.nosound, 1);
  EXPECT_TRUE(state.trayMenu.checked(kCmdNoSound));
  EXPECT_EQ(sound.calls, std::vector<std::string>{"stop 3"});
  command(kCmdNoSound);
  EXPECT_EQ(output.take(), "fstate = 0x8\nQnosound=0\n");
  EXPECT_EQ(state.settings.nosound, 0);
  EXPECT_FALSE(state.trayMenu.checked(kCmdNoSound));
  EXPECT_EQ(sound.calls, (std::vector<std::string>{"stop 3", "start 3"}));
  EXPECT_EQ(port.menuChanges, 2);
}

TEST_F(HandlersTest, TheMarkNotTheSettingDecidesAToggle) {
  // A setting read as 2 leaves its item unchecked: the command switches it on.
  state.settings.alpha = 2;
  command(kCmdAlpha);
  EXPECT_EQ(output.take(), "fstate = 0x0\nIDM_ALPHA draw\n");
  EXPECT_EQ(state.settings.alpha, 1);
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_FALSE(port.renders[0].scheduleNext);

  state.trayMenu.setChecked(kCmdTopMost, true);
  command(kCmdTopMost);
  EXPECT_EQ(state.settings.topMost, 0);
  EXPECT_EQ(port.topMost, std::vector<bool>{false});
  command(kCmdTopMost);
  EXPECT_EQ(state.settings.topMost, 1);
  EXPECT_EQ(port.topMost, (std::vector<bool>{false, true}));

  command(kCmdMouseTrace);
  EXPECT_EQ(state.settings.mouseTrace, 1);
  EXPECT_TRUE(state.render.view.mouseTrace);
  command(kCmdMouseTrace);
  EXPECT_EQ(state.settings.mouseTrace, 0);
  EXPECT_FALSE(state.render.view.mouseTrace);
}

TEST_F(HandlersTest, CommandsWithoutAMenuItemAlwaysSwitchOn) {
  for (int round = 0; round < 2; ++round) {
    command(kCmdSmall);
    EXPECT_EQ(output.take(), "fstate = 0x0\n");
    EXPECT_EQ(state.settings.small, 1);
    command(kCmdNoConnect);
    EXPECT_EQ(output.take(), "fstate = 0x0\nidm no connect: 1\n");
    EXPECT_EQ(state.settings.noConnect, 1);
  }
  EXPECT_FALSE(state.trayMenu.contains(kCmdSmall));
  EXPECT_FALSE(state.trayMenu.contains(kCmdNoConnect));
}

TEST_F(HandlersTest, CommandsHandedToOtherParts) {
  command(kCmdAbout);
  command(kCmdSettingsDialog);
  command(kCmdSaveSettings);
  command(kCmdDeleteSettings);
  command(kCmdFetchFeed);  // no feed address: nothing to fetch
  state.shell.feedUrl = "http://localhost/feed.xml";
  command(kCmdFetchFeed);
  command(kCmdExit);
  EXPECT_EQ(port.calls, (std::vector<std::string>{"about", "settingsDialog", "save", "delete",
                                                  "fetch http://localhost/feed.xml",
                                                  "removeTrayIcon", "quit"}));
}

TEST_F(HandlersTest, ShortcutIsRefusedOnOpticalMedia) {
  state.trayMenu.setChecked(kCmdStartupShortcut, true);
  port.optical = true;
  command(kCmdStartupShortcut);
  EXPECT_EQ(output.take(), "fstate = 0x8\n");
  ASSERT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_EQ(port.fakeUi.boxes[0].caption, "ERROR");
  EXPECT_EQ(port.fakeUi.boxes[0].text,
            "CD起動なので、スタートアップへのショートカットは登録できません。");
  EXPECT_FALSE(port.fakeUi.boxes[0].owned);
  EXPECT_TRUE(port.calls.empty());
  EXPECT_TRUE(state.trayMenu.checked(kCmdStartupShortcut)) << "written back unchanged";

  port.optical = false;
  command(kCmdStartupShortcut);
  EXPECT_EQ(port.calls, std::vector<std::string>{"shortcut"});
  EXPECT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_TRUE(state.trayMenu.checked(kCmdStartupShortcut));
}

TEST_F(HandlersTest, UnknownCommandsOnlyPrintTheItemState) {
  const AppState before;
  command(12345);
  command(0);
  EXPECT_EQ(output.take(), "fstate = 0x0\nfstate = 0x0\n");
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_EQ(state.shell.rateItem, before.shell.rateItem);
  EXPECT_TRUE(port.calls.empty());
  EXPECT_TRUE(port.renders.empty());
  EXPECT_EQ(port.menuChanges, 0);
}

TEST_F(HandlersTest, SetPausedMirrorsPlayInThePauseItem) {
  setPaused(state, port, true);
  EXPECT_TRUE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_TRUE(timer.delays.empty());
  command(kCmdRate30);
  setPaused(state, port, false);
  EXPECT_FALSE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_EQ(timer.delays, std::vector<int>{33});
  EXPECT_EQ(port.menuChanges, 2);
}

// --- Debug keys -------------------------------------------------------------

TEST_F(HandlersTest, SpacePausesAndResumesInStepWithTheSound) {
  state.render.pickState = kPickToPlay;
  selectJoint({-10, 10, 0, 0, 0, 0}, 1);
  key(' ');
  EXPECT_EQ(output.take(), "[KEY ( )]\n  Pause\n  KeyCommand draw\n");
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_TRUE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(state.render.selectionIndex, 0);
  EXPECT_EQ(state.render.selectedJoint, -1);
  EXPECT_EQ(state.render.pickState, kNoPick);
  EXPECT_EQ(sound.calls, std::vector<std::string>{"pause 3"});
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_FALSE(port.renders[0].scheduleNext);

  // Resuming at frame 31 of a range from 1: 30 frames of 1/30 s, one second
  // of sound at 8000 bytes per second.
  key(' ');
  EXPECT_EQ(output.take(), "[KEY ( )]\n");
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_FALSE(state.trayMenu.checked(kCmdPause));
  EXPECT_EQ(timer.delays, std::vector<int>{50});
  EXPECT_EQ(sound.calls, (std::vector<std::string>{"pause 3", "seek 3 8000"}));
  EXPECT_EQ(port.renders.size(), 1u) << "playing: the clock draws";
}

TEST_F(HandlersTest, ResumingAcrossTheWholeIntFrameRangeSeeksToItsEnd) {
  setRange(state.player.clock, INT_MIN, INT_MAX);
  state.player.clock.currentFrame = INT_MAX;
  key(' ');
  key(' ');
  // 2^32 - 1 frames of 1/30 s at 8000 bytes per second.
  EXPECT_EQ(sound.calls, (std::vector<std::string>{"pause 3", "seek 3 1145324612000"}));
}

TEST_F(HandlersTest, SpaceWithSoundOffOrFromFrameWalk) {
  state.settings.nosound = 1;
  state.player.clock.playState = kPaused;
  key(' ');
  // Playing again, but with the sound off the sound is only held.
  EXPECT_EQ(output.take(), "[KEY ( )]\n  Pause\n");
  EXPECT_EQ(sound.calls, std::vector<std::string>{"pause 3"});
  EXPECT_EQ(state.player.clock.playState, kPlaying);

  state.player.clock.playState = kFrameWalk;
  key(' ');
  EXPECT_EQ(state.player.clock.playState, kPaused) << "only a stopped clock starts";
}

TEST_F(HandlersTest, FrameStepsRoundHalfUpAndStayInTheRange) {
  state.player.clock.playState = kPaused;
  state.player.clock.currentFrame = 4.5;
  key('.');
  EXPECT_EQ(output.take(), "[KEY (.)]\n  Next frame[6]\n  KeyCommand draw\n");
  key(',');
  key(',');
  EXPECT_EQ(output.take(),
            "[KEY (,)]\n  Prev frame[5]\n  KeyCommand draw\n[KEY (,)]\n  Prev frame[4]\n  KeyCommand "
            "draw\n");
  state.player.clock.currentFrame = 90;
  key('.');
  EXPECT_EQ(output.take(), "[KEY (.)]\n  Next frame[90]\n  KeyCommand draw\n");
  state.player.clock.currentFrame = 1;
  key(',');
  EXPECT_EQ(output.take(), "[KEY (,)]\n  Prev frame[1]\n  KeyCommand draw\n");
  EXPECT_EQ(port.renders.size(), 5u);
}

TEST_F(HandlersTest, DigitsDoubleEveryJointRotation) {
  Joint a;
  a.name = "hip";
  a.cachedRotation = {1.5, -2, 0};
  Joint b;
  b.name = "\x93\xaa";  // a code-page 932 name is printed as UTF-8
  b.cachedRotation = {10, 20, 30};
  state.scene.joints = {a, b};
  key('7');
  EXPECT_EQ(output.take(), "[KEY (7)]\nhip: 1.5 -2 0 --> 3 -4 0\n頭: 10 20 30 --> 20 40 60\n");
  key('0');
  EXPECT_EQ(output.take(), "[KEY (0)]\nhip: 3 -4 0 --> 6 -8 0\n頭: 20 40 60 --> 40 80 120\n");
  EXPECT_TRUE(port.renders.empty());
}

TEST_F(HandlersTest, ActionAndMessageKeysShareOneCounterThatStopsAtZero) {
  defineAction(1, 100, 120);
  defineAction(2, 130, 150);
  key('A');
  key('A');
  EXPECT_EQ(output.take(), "[KEY (A)]\n  setNewAction[1]\n[KEY (A)]\n  setNewAction[2]\n");
  key('m');
  EXPECT_EQ(output.take(), "[KEY (m)]\n  Show Message[1]\n");
  key('a');
  key('a');
  key('a');
  EXPECT_EQ(output.take(),
            "[KEY (a)]\n  setNewAction[0]\n[KEY (a)]\n  setNewAction[0]\n[KEY (a)]\n"
            "  setNewAction[0]\n");
  key('M');
  EXPECT_EQ(output.take(), "[KEY (M)]\n  Show Message[1]\n");
  EXPECT_EQ(events, (std::vector<std::string>{"action 1", "action 2", "action 0", "action 0",
                                              "action 0"}));
  EXPECT_EQ(state.player.clock.startFrame, 1);

  // Far past the table: the idle action plays, nothing breaks.
  state.shell.debugNumber = 1500;
  key('A');
  EXPECT_EQ(output.take(), "[KEY (A)]\n  setNewAction[1501]\n");
  EXPECT_EQ(events.back(), "action 0");
}

TEST_F(HandlersTest, SwitchKeysPrintTheirNewState) {
  const struct {
    char key;
    const char* first;
    const char* second;
  } switches[] = {{'j', "  Joint ON\n", "  Joint OFF\n"},
                  {'L', "  Light ON\n", "  Light OFF\n"},
                  {'p', "  Polygon OFF\n", "  Polygon ON\n"},
                  {'G', "  Guide ON\n", "  Guide OFF\n"},
                  {'t', "  Texture OFF\n", "  Texture ON\n"},
                  {'B', "  Bitmap ON\n", "  Bitmap OFF\n"},
                  {'r', "  Repeat ON\n", "  Repeat OFF\n"},
                  {'z', "  Picking ON\n", "  Picking OFF\n"}};
  for (const auto& s : switches) {
    key(s.key);
    EXPECT_EQ(output.take(), std::string("[KEY (") + s.key + ")]\n" + s.first) << s.key;
    key(static_cast<char>(s.key ^ 0x20));  // the other case does the same
    EXPECT_EQ(output.take(), std::string("[KEY (") + static_cast<char>(s.key ^ 0x20) + ")]\n" +
                                 s.second)
        << s.key;
  }
  EXPECT_EQ(state.render.flags.joint, 0);
  EXPECT_EQ(state.render.flags.polygon, 1);
  EXPECT_EQ(state.render.pickState, kNoPick);
  key('Z');
  EXPECT_EQ(state.render.pickState, kPickToPlay);
  EXPECT_TRUE(port.renders.empty()) << "playing: no key draws";
}

TEST_F(HandlersTest, StatFrameWalkResetAndUndefinedKeys) {
  key('i');
  EXPECT_EQ(output.take(), "[KEY (i)]\n  Show Stat ON\n");
  EXPECT_TRUE(state.player.statsRequested);

  key('f');
  EXPECT_EQ(output.take(), "[KEY (f)]\n  Frame walk mode\n  KeyCommand draw\n");
  EXPECT_EQ(state.player.clock.playState, kFrameWalk);

  state.player.clock.playState = kPlaying;
  key('q');
  EXPECT_EQ(output.take(), "[KEY (q)]\n  Reset Wave\n  KeyCommand draw\n");
  EXPECT_EQ(state.player.clock.currentFrame, 1.0);
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_EQ(sound.calls, std::vector<std::string>{"stop 3"});

  for (const char c : {'Q', 'x', '#', '\t'}) {
    key(c);
    EXPECT_EQ(output.take(), std::string("[KEY (") + c + ")]\n  undefined\n  KeyCommand draw\n");
  }
  EXPECT_EQ(port.renders.size(), 6u);
  for (const auto& r : port.renders) EXPECT_FALSE(r.scheduleNext);
}

// --- Joint dragging ---------------------------------------------------------

TEST_F(HandlersTest, DragJointHandsDxAndDyToTheFirstTwoFreeAxes) {
  const int j = selectJoint({-10, 10, 0, 0, -5, 5}, 1 | 4);
  dragJoint(state, 3, -2);
  EXPECT_EQ(state.scene.joints[j].cachedRotation, (std::array<double, 3>{3, 0, -2}));
  dragJoint(state, 100, 100);
  EXPECT_EQ(state.scene.joints[j].cachedRotation, (std::array<double, 3>{10, 0, 5}));
  dragJoint(state, -100, -100);
  EXPECT_EQ(state.scene.joints[j].cachedRotation, (std::array<double, 3>{-10, 0, -5}));
}

TEST_F(HandlersTest, DragJointMovesZOnlyWhenFewerThanTwoOfXAndYAreFree) {
  const int all = selectJoint({-90, 90, -90, 90, -90, 90}, 7);
  dragJoint(state, 4, 6);
  EXPECT_EQ(state.scene.joints[all].cachedRotation, (std::array<double, 3>{4, 6, 0}));

  const int onlyZ = selectJoint({0, 0, 0, 0, -30, 30}, 4);
  dragJoint(state, 12, 25);
  EXPECT_EQ(state.scene.joints[onlyZ].cachedRotation, (std::array<double, 3>{0, 0, 12}));

  const int yz = selectJoint({0, 0, -20, 20, -30, 30}, 2 | 4);
  dragJoint(state, 50, -7);
  EXPECT_EQ(state.scene.joints[yz].cachedRotation, (std::array<double, 3>{0, 20, -7}));
}

TEST_F(HandlersTest, DragJointWithoutAUsableSelectionDoesNothing) {
  Joint joint;
  joint.limits = {-10, 10, -10, 10, -10, 10};
  state.scene.joints.push_back(joint);
  state.render.selectedAxisMask = 7;
  state.render.selectedJoint = 0;
  state.render.selectionIndex = 0;  // nothing picked
  dragJoint(state, 5, 5);
  state.render.selectionIndex = 1;
  state.render.selectedJoint = 3;  // a joint the scene does not have
  dragJoint(state, 5, 5);
  EXPECT_EQ(state.scene.joints[0].cachedRotation, (std::array<double, 3>{0, 0, 0}));
}

TEST_F(HandlersTest, DragJointClampsIntoLimitsGivenInEitherOrder) {
  const int j = selectJoint({10, -10, 0, 0, 0, 0}, 1);
  dragJoint(state, 25, 0);
  EXPECT_EQ(state.scene.joints[j].cachedRotation[0], 10);
  dragJoint(state, -40, 0);
  EXPECT_EQ(state.scene.joints[j].cachedRotation[0], -10);
}

// --- Mouse ------------------------------------------------------------------

TEST_F(HandlersTest, LeftDragMovesTheWindowByThePointerTravel) {
  mousePress(state, port, at(400, 300, kButtonLeft, kButtonLeft));
  mouseMove(state, port, at(410, 305, 0, kButtonLeft));
  mouseMove(state, port, at(350, 420, 0, kButtonLeft));
  ASSERT_EQ(port.moves.size(), 2u);
  EXPECT_EQ(port.moves[0].x, 310);
  EXPECT_EQ(port.moves[0].y, 205);
  EXPECT_EQ(port.moves[1].x, 250);
  EXPECT_EQ(port.moves[1].y, 320);
  // The window reports where it went; the drag keeps measuring from the press.
  windowMoved(state, port, 250, 320);
  EXPECT_EQ(port.calls, std::vector<std::string>{"follow 250,320"});
  mouseMove(state, port, at(360, 420, 0, kButtonLeft));
  EXPECT_EQ(port.moves.back().x, 260);
  mouseRelease(state, port, at(360, 420, kButtonLeft, 0));
  mouseMove(state, port, at(500, 500, 0, kButtonLeft));
  EXPECT_EQ(port.moves.size(), 3u) << "no drag after the release";
  EXPECT_TRUE(port.renders.empty()) << "a single press neither picks nor draws";
  EXPECT_EQ(state.shell.windowX, 250);
}

TEST_F(HandlersTest, QuickSecondClickPicksToSelectAndAThirdDoesNotCount) {
  leftClick(400, 300);
  EXPECT_TRUE(port.renders.empty());
  clock.ms += 200;
  leftClick(401, 302);
  EXPECT_EQ(output.take(), " 101 102 513\n");
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_TRUE(port.renders[0].scheduleNext);
  EXPECT_EQ(port.renders[0].pickState, kPickToSelect);
  EXPECT_EQ(state.render.mousePos.x, 101);
  EXPECT_EQ(state.render.mousePos.y, 102);
  EXPECT_TRUE(state.render.presentRequest);

  clock.ms += 200;  // third click, 400 ms after the first
  leftClick(401, 302);
  EXPECT_EQ(port.renders.size(), 1u);
  clock.ms += 200;  // the fourth pairs with the third
  leftClick(401, 302);
  EXPECT_EQ(port.renders.size(), 2u);
  clock.ms += 500;  // slow clicks are single clicks
  leftClick(401, 302);
  EXPECT_EQ(port.renders.size(), 2u);
  EXPECT_EQ(output.take(), " 101 102 513\n");
}

TEST_F(HandlersTest, QtsDoubleClickEventIsJustTheSecondPressOnTheCaption) {
  leftClick(400, 300);
  clock.ms += 100;
  mouseDoubleClick(state, port, at(400, 300, kButtonLeft, kButtonLeft));
  EXPECT_EQ(port.renders.size(), 1u);
  mouseMove(state, port, at(420, 300, 0, kButtonLeft));
  ASSERT_EQ(port.moves.size(), 1u) << "no joint was picked: the press drags the window";
  EXPECT_EQ(port.moves[0].x, 320);
  mouseRelease(state, port, at(420, 300, kButtonLeft, 0));
  clock.ms += 100;
  mouseDoubleClick(state, port, at(420, 300, kButtonLeft, kButtonLeft));
  EXPECT_EQ(port.renders.size(), 1u) << "a third quick click";
}

TEST_F(HandlersTest, ADoubleClickThatSelectsAJointTurnsTheDragToTheJoint) {
  state.player.clock.playState = kPaused;
  port.onRender = [this] {
    if (state.render.pickState == kPickToSelect && state.scene.joints.empty()) {
      selectJoint({-45, 45, -45, 45, 0, 0}, 3);
    }
  };
  leftClick(400, 300);
  clock.ms += 150;
  mousePress(state, port, at(400, 300, kButtonLeft, kButtonLeft));
  ASSERT_EQ(state.render.selectionIndex, 1);
  EXPECT_EQ(state.render.mouseButton, kGestureLeft);
  clock.ms += 150;
  mouseMove(state, port, at(410, 296, 0, kButtonLeft));
  EXPECT_TRUE(port.moves.empty()) << "the window stays";
  EXPECT_EQ(state.scene.joints[0].cachedRotation, (std::array<double, 3>{10, -4, 0}));
  mouseRelease(state, port, at(410, 296, kButtonLeft, 0));
  EXPECT_EQ(state.render.mouseButton, kGestureNone);

  // With the joint selected, later presses drag it as well.
  clock.ms += 1000;
  mousePress(state, port, at(410, 296, kButtonLeft, kButtonLeft));
  mouseMove(state, port, at(500, 296, 0, kButtonLeft));
  EXPECT_EQ(state.scene.joints[0].cachedRotation[0], 45);
  EXPECT_TRUE(port.moves.empty());
}

TEST_F(HandlersTest, LeftDoubleClickOnASelectedJointPicksAgain) {
  selectJoint({-45, 45, 0, 0, 0, 0}, 1);
  mousePress(state, port, at(320, 210, kButtonLeft, kButtonLeft));
  mouseRelease(state, port, at(320, 210, kButtonLeft, 0));
  mouseDoubleClick(state, port, at(320, 210, kButtonLeft, kButtonLeft));
  // The packed point: y in the high word, x in the low one.
  const long packed = (10L << 16) | 20;
  EXPECT_EQ(output.take(), "WM_LBUTTONDBLCLK: " + std::to_string(packed) + " " +
                               std::to_string(packed) + " 513\n");
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_FALSE(port.renders[0].scheduleNext);
  EXPECT_EQ(port.renders[0].pickState, kPickToSelect);
  EXPECT_EQ(state.render.mouseButton, kGestureLeft);
}

TEST_F(HandlersTest, RightDragTurnsTheViewWithPitchClamped) {
  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight));
  EXPECT_EQ(output.take(), "ボタンダウン\nWM_RBUTTONDOWN draw\n");
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_FALSE(port.renders[0].scheduleNext);
  EXPECT_EQ(port.renders[0].pickState, kPickToPlay);
  EXPECT_EQ(state.render.mouseButton, kGestureRight);
  EXPECT_TRUE(port.popups.empty());

  mouseMove(state, port, at(500, 330, 0, kButtonRight));
  EXPECT_EQ(state.render.view.yaw, 100);
  EXPECT_EQ(state.render.view.pitch, 30);
  mouseMove(state, port, at(900, 400, 0, kButtonRight));
  EXPECT_EQ(state.render.view.yaw, 500) << "yaw is not bounded";
  EXPECT_EQ(state.render.view.pitch, 45);
  mouseMove(state, port, at(900, 300, 0, kButtonRight));
  EXPECT_EQ(state.render.view.pitch, -45);
  mouseMove(state, port, at(880, 310, 0, kButtonRight));
  EXPECT_EQ(state.render.view.yaw, 480);
  EXPECT_EQ(state.render.view.pitch, -35);
  EXPECT_TRUE(port.moves.empty());
  mouseRelease(state, port, at(880, 310, kButtonRight, 0));
  EXPECT_EQ(output.take(), "[VIEW] yaw 480 pitch -35\n");
  EXPECT_EQ(state.render.mouseButton, kGestureNone);

  // Both buttons at once neither turn nor drag.
  mouseMove(state, port, at(700, 100, 0, kButtonLeft | kButtonRight));
  EXPECT_EQ(state.render.view.yaw, 480);
}

TEST_F(HandlersTest, ShiftRightExactlyOpensTheRateMenu) {
  state.shell.rateItem = kCmdRate25;
  port.popupChoice = kCmdRate10;
  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight, kModShift));
  ASSERT_EQ(port.popups.size(), 1u);
  EXPECT_EQ(port.popups[0].x, 400);
  EXPECT_EQ(port.popups[0].y, 300);
  EXPECT_EQ(port.popups[0].rateItem, kCmdRate25);
  EXPECT_TRUE(port.popups[0].menuOpen);
  EXPECT_FALSE(state.shell.menuOpen);
  EXPECT_EQ(state.shell.rateItem, kCmdRate10) << "the chosen item is carried out";
  EXPECT_EQ(state.player.clock.displayRate, 10);
  EXPECT_EQ(port.renders.size(), 1u) << "the press picks first";

  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight, kModShift | kModCtrl));
  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight | kButtonLeft, kModShift));
  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight | kButtonMiddle, kModShift));
  EXPECT_EQ(port.popups.size(), 1u);
}

TEST_F(HandlersTest, RightDoubleClickOnlyPrints) {
  mouseDoubleClick(state, port, at(400, 300, kButtonRight, kButtonRight));
  EXPECT_EQ(output.take(), "右だぶるくりっく\n");
  EXPECT_TRUE(port.renders.empty());
  mouseDoubleClick(state, port, at(400, 300, kButtonMiddle, kButtonMiddle));
  EXPECT_EQ(output.take(), "");
}

TEST_F(HandlersTest, MovesRedrawAtMostEvery100MsWhileStopped) {
  state.player.clock.playState = kPaused;
  state.shell.lastMoveDraw = clock.ms;
  const auto move = [&](int dt) {
    clock.ms += dt;
    mouseMove(state, port, at(400, 300, 0, 0, kModShift));
  };
  move(100);  // exactly 100 ms: not yet
  EXPECT_TRUE(port.renders.empty());
  move(1);
  EXPECT_EQ(output.take(), "WM_MOUSEMOVE update draw: 101");
  ASSERT_EQ(port.renders.size(), 1u);
  EXPECT_FALSE(port.renders[0].scheduleNext);
  move(50);
  move(50);
  EXPECT_EQ(port.renders.size(), 1u);
  move(1);
  EXPECT_EQ(port.renders.size(), 2u);
  EXPECT_EQ(output.take(), "WM_MOUSEMOVE update draw: 101");

  // Moves without a button or key are not gestures.
  state.render.presentRequest = false;
  clock.ms += 1000;
  mouseMove(state, port, at(410, 300, 0, 0));
  EXPECT_EQ(port.renders.size(), 2u);
  EXPECT_FALSE(state.render.presentRequest);

  // While playing the clock redraws anyway.
  state.player.clock.playState = kPlaying;
  move(1000);
  EXPECT_EQ(port.renders.size(), 2u);
  EXPECT_TRUE(state.render.presentRequest);
}

TEST_F(HandlersTest, LeavingTheWindowEndsTheGesture) {
  mousePress(state, port, at(400, 300, kButtonRight, kButtonRight));
  mouseLeave(state);
  EXPECT_EQ(state.render.mouseButton, kGestureNone);
}

TEST_F(HandlersTest, EscapeRemovesTheTrayIconAndQuits) {
  escapeKey(state, port);
  EXPECT_EQ(port.calls, (std::vector<std::string>{"removeTrayIcon", "quit"}));
}

// --- Mail and statistics ----------------------------------------------------

TEST_F(HandlersTest, OnlyAHigherMailCountShowsTheNotice) {
  receiveMailCount(state, port, 3);
  receiveMailCount(state, port, 3);
  ASSERT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_EQ(port.fakeUi.boxes[0].caption, "POP3 NOTIFY");
  EXPECT_EQ(port.fakeUi.boxes[0].text, "新着メールあり！！");
  EXPECT_FALSE(port.fakeUi.boxes[0].owned);
  receiveMailCount(state, port, 1);  // mails were read: the reference goes down quietly
  EXPECT_EQ(state.settings.mailCount, 1u);
  EXPECT_EQ(port.fakeUi.boxes.size(), 1u);
  receiveMailCount(state, port, 2);
  EXPECT_EQ(port.fakeUi.boxes.size(), 2u);
  receiveMailCount(state, port, 0);
  receiveMailCount(state, port, 0);
  EXPECT_EQ(port.fakeUi.boxes.size(), 2u);
  EXPECT_EQ(events, (std::vector<std::string>{"box", "box"})) << "no action 98 defined";
}

TEST_F(HandlersTest, NoticeStartsAction98AfterTheBoxWhenDefined) {
  defineAction(98, 500, 540);
  receiveMailCount(state, port, 4);
  EXPECT_EQ(events, (std::vector<std::string>{"box", "action 98"}));
  EXPECT_EQ(state.player.clock.startFrame, 500);
}

TEST_F(HandlersTest, CountsArrivingWhileTheBoxIsOpenRaiseNoSecondNotice) {
  defineAction(98, 500, 540);
  // A mail checker keeps reporting, the same count and higher ones, while
  // the user has not closed the notice yet.
  int reports = 0;
  port.fakeUi.onBox = [this, &reports] {
    events.push_back("box");
    for (; reports < 3000; ++reports) receiveMailCount(state, port, 5 + reports / 2);
  };
  receiveMailCount(state, port, 5);
  EXPECT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_EQ(events, (std::vector<std::string>{"box", "action 98"}));
  EXPECT_EQ(state.settings.mailCount, 5u + 2999u / 2);
  // Closed, the notice comes back for the next new mail.
  receiveMailCount(state, port, state.settings.mailCount + 1);
  EXPECT_EQ(port.fakeUi.boxes.size(), 2u);
}

TEST_F(HandlersTest, PlayStatsBoxBelongsToTheWindow) {
  showPlayStats(state, port, "[ANIM No.] 001\n");
  ASSERT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_EQ(port.fakeUi.boxes[0].caption, "PLAYSTAT");
  EXPECT_EQ(port.fakeUi.boxes[0].text, "[ANIM No.] 001\n");
  EXPECT_EQ(port.fakeUi.boxes[0].icon, MessageIcon::Information);
  EXPECT_TRUE(port.fakeUi.boxes[0].owned);
}

// --- Tray icon ----------------------------------------------------------------

TEST_F(HandlersTest, TrayDoubleClickHidesAndStopsThenShowsAndPlaysOnFromATick) {
  trayDoubleClick(state, port);
  EXPECT_EQ(output.take(), "show 0, play 0\n");
  EXPECT_FALSE(state.shell.visible);
  EXPECT_EQ(state.player.clock.playState, kPaused);
  EXPECT_TRUE(timer.delays.empty());
  command(kCmdRate25);
  output.take();
  trayDoubleClick(state, port);
  EXPECT_EQ(output.take(), "show 1, play 1\n");
  EXPECT_TRUE(state.shell.visible);
  EXPECT_EQ(state.player.clock.playState, kPlaying);
  EXPECT_EQ(timer.delays, std::vector<int>{40});
  EXPECT_EQ(port.calls, (std::vector<std::string>{"hide", "show"}));
}

// --- About box ------------------------------------------------------------------

TEST_F(HandlersTest, AboutBoxCentresTheNameOverHowToHandleTheCharacter) {
  showAboutBox(port, "Vashel");
  ASSERT_EQ(port.fakeUi.boxes.size(), 1u);
  EXPECT_EQ(port.fakeUi.boxes[0].caption, "关于...");
  EXPECT_TRUE(port.fakeUi.boxes[0].owned);
  // The widest line, four spaces and six wide characters, takes 16 columns.
  EXPECT_EQ(port.fakeUi.boxes[0].text,
            "     Vashel\n" + std::string(16, ' ') +
                "\n\n操作：\n    鼠标左键拖动\n    鼠标右键转动\n    空格键暂停");
  // A name in wide characters counts two columns for each; one wider than
  // the box stands at the left.
  EXPECT_EQ(aboutText("ヴァシェル").substr(0, 3 + 15), "   ヴァシェル");
  EXPECT_EQ(aboutText("a very long name for a character").find("a very"), 0u);
}

}  // namespace
}  // namespace vashel
