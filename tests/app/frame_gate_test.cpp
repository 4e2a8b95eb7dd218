// Frames and the clock's tick around modal boxes: the statistics box opened
// inside a mouse frame, a tick-driven frame and a paused character, with the
// shell's real handlers and the player's real action change.
#include "app/frame_gate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "anim/player_fakes.h"
#include "app/shell.h"
#include "app/shell_fakes.h"

namespace vashel {
namespace {

// The one-shot timer: arming replaces the pending tick, as on the desktop.
class OneShotTimer final : public TickTimer {
 public:
  void armTick(int delayMs) override { pendingDelay = delayMs; }
  bool armed() const { return pendingDelay >= 0; }
  int pendingDelay = -1;
};

class BoxUi final : public Ui {
 public:
  MessageResult messageBox(std::string_view caption, std::string_view, MessageIcon,
                           MessageBoxOptions) override {
    captions.emplace_back(caption);
    if (whileOpen) whileOpen();
    return MessageResult::Ok;
  }
  std::vector<std::string> captions;
  std::function<void()> whileOpen;  // what happens while the box is open
};

class ZeroRandom final : public RandomSource {
 public:
  int rand() override { return 0; }
};

class GatePort final : public testing::QuietShellPort {
 public:
  explicit GatePort(FrameGate& gate) : gate_(gate) {}
  void renderFrame(bool scheduleNext) override { gate_.renderFrame(scheduleNext); }
  Ui& ui() override { return boxes; }
  BoxUi boxes;

 private:
  FrameGate& gate_;
};

class FrameGateTest : public ::testing::Test {
 protected:
  FrameGateTest()
      : gate(state.player, [this](bool scheduleNext) { frame(scheduleNext); },
             [this] { return timer.armed(); }),
        port(gate) {
    state.shell.out = output;
    Player& player = state.player;
    player.ports.time = &clock;
    player.ports.timer = &timer;
    player.ports.random = &random;
    player.log = nullptr;
    player.showPlayStats = [this](const std::string& text) { showPlayStats(state, port, text); };
    define(0, 1, 90, "idle");
    define(5, 100, 150, "tickle");
    setNewAction(player, state.scene, 0, {}, {});
    startClock(player);
  }
  ~FrameGateTest() override { std::fclose(output); }

  void define(int slot, int start, int end, const char* name) {
    Action& a = state.scene.actions[static_cast<std::size_t>(slot)];
    a.id = slot;
    a.name = name;
    a.startFrame = start;
    a.endFrame = end;
  }

  // Stands in for the frame routine: the advance, a pick on her body that
  // starts the tickle action, and the re-arming of a tick-driven frame.
  void frame(bool scheduleNext) {
    frames.push_back(scheduleNext);
    beginFrame(state.player);
    if (state.render.pickState == kPickToPlay) {
      state.render.pickState = kNoPick;
      setNewAction(state.player, state.scene, 5, "body", {});
    }
    if (scheduleNext) scheduleNextTick(state.player, state.scene);
  }

  // The pending tick fires after its delay.
  void fire() {
    ASSERT_TRUE(timer.armed()) << "no tick is pending: the clock has stopped";
    clock.ms += timer.pendingDelay;
    timer.pendingDelay = -1;
    gate.tick();
  }

  void rightClick() {
    PointerEvent press;
    press.button = kButtonRight;
    press.buttons = kButtonRight;
    mousePress(state, port, press);
  }

  std::FILE* output = std::tmpfile();
  testing::FakeClock clock;
  OneShotTimer timer;
  ZeroRandom random;
  AppState state;
  FrameGate gate;
  GatePort port;
  std::vector<bool> frames;  // schedule-next flag of every frame drawn
};

TEST_F(FrameGateTest, ATickDuringTheStatisticsBoxOfAClickKeepsTheClockRunning) {
  fire();
  handleDebugKey(state, port, 'i');
  frames.clear();
  port.boxes.whileOpen = [this] {
    EXPECT_TRUE(gate.inFrame());
    fire();  // arrives while the box's own event loop runs
    EXPECT_EQ(frames.size(), 1u) << "no frame is drawn inside the open one";
  };
  rightClick();
  ASSERT_EQ(port.boxes.captions, std::vector<std::string>{"PLAYSTAT"});
  // The kept tick was served once the click's frame had ended.
  EXPECT_EQ(frames, (std::vector<bool>{false, true}));
  ASSERT_TRUE(timer.armed());
  port.boxes.whileOpen = nullptr;
  for (int i = 0; i < 20; ++i) fire();
  EXPECT_EQ(frames.size(), 22u);
  EXPECT_EQ(state.player.currentAction, 5);
}

TEST_F(FrameGateTest, ATickDuringABoxOfATickDrivenFrameIsNotServedTwice) {
  // The idle range ends on this tick: the action change shows the box, and
  // the frame re-arms the clock after it. The tick inside the box comes from
  // an earlier arming (a display change re-arms, for one).
  state.player.clock.currentFrame = 90;
  state.player.clock.playStartTime = clock.ms - 3000;
  state.player.statsRequested = true;
  port.boxes.whileOpen = [this] { gate.tick(); };
  fire();
  ASSERT_EQ(port.boxes.captions.size(), 1u);
  EXPECT_EQ(frames, std::vector<bool>{true});
  EXPECT_TRUE(timer.armed());
}

TEST_F(FrameGateTest, APausedCharacterStaysPausedAfterTheBox) {
  setPlaying(state.player, false);
  timer.pendingDelay = 50;  // armed before the pause
  state.player.statsRequested = true;
  port.boxes.whileOpen = [this] { fire(); };
  rightClick();
  EXPECT_EQ(frames, std::vector<bool>{false});
  EXPECT_FALSE(timer.armed());
}


// Two characters started alike on the same clock: one always seen, one
// covered for a while. The covered one draws nothing, yet its clock, action
// changes included, keeps pace, and it resumes on the frame the other shows.
class UnseenTest : public ::testing::Test {
 protected:
  struct Character {
    explicit Character(testing::FakeClock& clock)
        : gate(
              state.player,
              [this](bool scheduleNext) {
                drawn.push_back(state.player.clock.currentFrame);
                keepFrameTime(state.player, state.scene);
                (void)scheduleNext;
              },
              [this] { return timer.armed(); },
              [this] { keepFrameTime(state.player, state.scene); }) {
      Player& player = state.player;
      player.ports.time = &clock;
      player.ports.timer = &timer;
      player.ports.random = &random;
      player.log = nullptr;
      for (const auto& [slot, start, end] : {std::tuple{0, 1, 30}, std::tuple{5, 100, 150}}) {
        Action& a = state.scene.actions[static_cast<std::size_t>(slot)];
        a.id = slot;
        a.name = slot == 0 ? "idle" : "tickle";
        a.startFrame = start;
        a.endFrame = end;
      }
      setNewAction(player, state.scene, 0, {}, {});
      startClock(player);
    }
    void fire() {
      ASSERT_TRUE(timer.armed()) << "no tick is pending: the clock has stopped";
      timer.pendingDelay = -1;
      gate.tick();
    }
    OneShotTimer timer;
    ZeroRandom random;
    AppState state;
    FrameGate gate;
    std::vector<double> drawn;  // the frame of each frame drawn
  };

  // Both characters' ticks fall due every 50 ms.
  void run(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      clock.ms += 50;
      seen.fire();
      covered.fire();
    }
  }

  testing::FakeClock clock;
  Character seen{clock};
  Character covered{clock};
};

TEST_F(UnseenTest, NothingIsDrawnWhileUnseenAndDrawingResumesOnTheFrameDue) {
  run(10);
  ASSERT_EQ(covered.drawn, seen.drawn);
  covered.gate.setSeen(false);
  const std::size_t before = covered.drawn.size();
  const int changes = seen.state.player.callCounter;
  run(60);  // three seconds: the idle range of one second ends twice
  EXPECT_EQ(covered.drawn.size(), before);
  EXPECT_EQ(covered.gate.framesUnseen(), 60u);
  EXPECT_EQ(covered.state.player.clock.currentFrame, seen.state.player.clock.currentFrame);
  EXPECT_GE(seen.state.player.callCounter, changes + 2);
  EXPECT_EQ(covered.state.player.callCounter, seen.state.player.callCounter);

  EXPECT_FALSE(covered.gate.setSeen(true)) << "ticks owe no redraw";
  run(5);
  ASSERT_EQ(covered.drawn.size(), before + 5);
  EXPECT_EQ(covered.drawn.back(), seen.drawn.back());
  EXPECT_EQ(covered.gate.framesDrawn(), before + 5);
}

TEST_F(UnseenTest, ARedrawAskedForWhileUnseenIsOwedUntilSeenAgain) {
  covered.gate.setSeen(false);
  covered.gate.renderFrame(false);
  EXPECT_TRUE(covered.drawn.empty());
  EXPECT_FALSE(covered.gate.setSeen(false));
  EXPECT_TRUE(covered.gate.setSeen(true));
  EXPECT_FALSE(covered.gate.setSeen(true)) << "owed once";
}

}  // namespace
}  // namespace vashel
