// The character's window on a bare X server: what shows on screen, where
// clicks go, dragging by the shell's own moves, keys, and window hints.
#include "app/desktop_window.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QRegularExpression>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/x11_desktop.h"
#include "gui/display.h"

namespace vashel {
namespace {

using testing::Backdrop;
using testing::describe;
using testing::FakeCompositor;
using testing::kDesktop;
using testing::grabScreen;
using testing::sameColour;
using testing::xdotool;

constexpr QRgb kRed = 0xffff0000;
constexpr int kSide = 200;
constexpr int kRadius = 60;


// Records the window's input and drags the window with the left button, as
// the shell does: new position = position at press + pointer travel.
class Recorder final : public WindowInput {
 public:
  explicit Recorder(DesktopWindow& window) : window_(window) {}
  std::vector<std::string> log;

  void mousePress(const PointerEvent& e) override {
    log.push_back("press " + std::to_string(e.button) + " " + std::to_string(e.x) + "," +
                  std::to_string(e.y));
    if (e.button == kButtonLeft) {
      dragging_ = true;
      pressScreen_ = {e.screenX, e.screenY};
      pressWindow_ = window_.position();
    }
  }
  void mouseRelease(const PointerEvent& e) override {
    log.push_back("release " + std::to_string(e.button) + " held " + std::to_string(e.buttons));
    if (e.button == kButtonLeft) dragging_ = false;
  }
  void mouseMove(const PointerEvent& e) override {
    if (dragging_ && e.buttons == kButtonLeft) {
      window_.moveTo(pressWindow_.x + e.screenX - pressScreen_.x,
                     pressWindow_.y + e.screenY - pressScreen_.y);
    }
  }
  void mouseDoubleClick(const PointerEvent& e) override {
    log.push_back("double " + std::to_string(e.button));
  }
  void keyChar(char c) override { log.push_back(std::string("char ") + c); }
  void keyEscape() override { log.push_back("escape"); }

 private:
  DesktopWindow& window_;
  bool dragging_ = false;
  ScreenPoint pressScreen_, pressWindow_;
};

// A frame of kSide² pixels, bottom row first: an opaque red disc in the
// middle, a half-transparent green square in the top-left corner (colour
// scaled by alpha, as read back), transparent elsewhere.
std::vector<std::uint8_t> discFrame(int centreX = kSide / 2, int centreY = kSide / 2) {
  std::vector<std::uint8_t> bytes(kSide * kSide * 4, 0);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      std::uint8_t* p = &bytes[((kSide - 1 - y) * kSide + x) * 4];
      const int dx = x - centreX, dy = y - centreY;
      if (dx * dx + dy * dy <= kRadius * kRadius) {
        p[2] = 255;  // red
        p[3] = 255;
      } else if (x >= 5 && x < 25 && y >= 5 && y < 25) {
        p[1] = 128;  // green at half alpha
        p[3] = 128;
      }
    }
  }
  return bytes;
}

class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backdrop_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop_));
  }

  // Shows `window` at (100, 100) with the disc frame.
  void showCharacter(DesktopWindow& window) {
    const auto frame = discFrame();
    ASSERT_TRUE(window.presentFrame(frame.data(), kSide, kSide));
    window.moveTo(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(100);
  }

  QString windowId(DesktopWindow& window) const { return QString::number(window.nativeId()); }

  Backdrop backdrop_;
};

TEST_F(DesktopWindowTest, ShowsTheCharacterAndTheDesktopAroundIt) {
  DesktopWindow window;
  // A bare X server has no compositor: the frame's alpha becomes the shape.
  ASSERT_EQ(window.presentation(), DesktopWindow::Presentation::ShapeMask);
  showCharacter(window);
  EXPECT_EQ(window.size(), QSize(kSide, kSide));
  const QImage screen = grabScreen();
  ASSERT_EQ(screen.size(), QSize(1024, 768));
  struct Probe {
    int x, y;
    QRgb expected;
    const char* what;
  };
  const Probe probes[] = {
      {200, 200, kRed, "disc centre"},
      {200, 100 + 100 - kRadius + 1, kRed, "disc's top edge"},
      {200, 100 + 100 - kRadius - 2, kDesktop, "just above the disc"},
      {105, 295, kDesktop, "transparent bottom-left corner"},
      {295, 105, kDesktop, "transparent top-right corner"},
      {90, 90, kDesktop, "outside the window"},
      // Half alpha shows in full colour: a bare X server cannot blend.
      {115, 115, 0xff00ff00, "translucent square, top-left, not flipped"},
  };
  for (const Probe& probe : probes) {
    const QRgb seen = screen.pixel(probe.x, probe.y);
    EXPECT_TRUE(sameColour(seen, probe.expected))
        << probe.what << " at " << probe.x << "," << probe.y << ": " << describe(seen)
        << " instead of " << describe(probe.expected);
  }
}

TEST_F(DesktopWindowTest, DraggingMovesTheWindowByThePointersTravel) {
  DesktopWindow window;
  Recorder input(window);
  window.setInput(&input);
  std::vector<ScreenPoint> moves;
  window.setMoveCallback([&](int x, int y) { moves.push_back({x, y}); });
  showCharacter(window);
  moves.clear();

  xdotool({"mousemove", "200", "200", "mousedown", "1", "mousemove", "220", "210", "sleep", "0.05",
           "mousemove", "250", "230", "sleep", "0.05", "mouseup", "1"});
  QTest::qWait(150);

  EXPECT_EQ(window.position(), (ScreenPoint{150, 130}));
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back(), (ScreenPoint{150, 130}));
  // The X server agrees.
  const auto geometry = testing::runTool("xdotool", {"getwindowgeometry", windowId(window)});
  EXPECT_TRUE(geometry.out.contains("Position: 150,130")) << geometry.out.toStdString();
  // The disc went along: its old left part now shows the desktop.
  const QImage screen = grabScreen();
  EXPECT_TRUE(sameColour(screen.pixel(250, 230), kRed)) << describe(screen.pixel(250, 230));
  EXPECT_TRUE(sameColour(screen.pixel(155, 200), kDesktop)) << describe(screen.pixel(155, 200));
  EXPECT_EQ(backdrop_.presses, 0);
}

TEST_F(DesktopWindowTest, ClicksOnTransparentPixelsReachTheWindowBelow) {
  DesktopWindow window;
  Recorder input(window);
  window.setInput(&input);
  showCharacter(window);

  xdotool({"mousemove", "290", "290", "click", "1"});  // transparent corner
  QTest::qWait(100);
  EXPECT_EQ(backdrop_.presses, 1);
  EXPECT_TRUE(input.log.empty()) << input.log.front();

  xdotool({"mousemove", "200", "200", "click", "3"});  // the disc, right button
  QTest::qWait(100);
  EXPECT_EQ(backdrop_.presses, 1);
  ASSERT_EQ(input.log.size(), 2u);
  EXPECT_EQ(input.log[0], "press 2 100,100");
  EXPECT_EQ(input.log[1], "release 2 held 0");
}

TEST_F(DesktopWindowTest, DoubleClickTakesThePlaceOfTheSecondPress) {
  DesktopWindow window;
  Recorder input(window);
  window.setInput(&input);
  showCharacter(window);
  xdotool({"mousemove", "210", "190", "click", "--repeat", "2", "--delay", "60", "1"});
  QTest::qWait(150);
  const std::vector<std::string> expected = {"press 1 110,90", "release 1 held 0", "double 1",
                                             "release 1 held 0"};
  EXPECT_EQ(input.log, expected);
}

TEST_F(DesktopWindowTest, KeysArriveAsCharactersAndEscape) {
  DesktopWindow window;
  Recorder input(window);
  window.setInput(&input);
  showCharacter(window);
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  xdotool({"mousemove", "200", "200", "key", "a", "shift+b", "space", "period", "Escape"});
  QTest::qWait(150);
  const std::vector<std::string> expected = {"char a", "char B", "char  ", "char .", "escape"};
  EXPECT_EQ(input.log, expected);
}

TEST_F(DesktopWindowTest, FullyTransparentFrameHidesTheWindowAndItsClicks) {
  DesktopWindow window;
  Recorder input(window);
  window.setInput(&input);
  showCharacter(window);
  const std::vector<std::uint8_t> empty(kSide * kSide * 4, 0);
  ASSERT_TRUE(window.presentFrame(empty.data(), kSide, kSide));
  const QImage screen = grabScreen();
  for (const QPoint p : {QPoint(200, 200), QPoint(101, 101), QPoint(298, 298)}) {
    EXPECT_TRUE(sameColour(screen.pixel(p), kDesktop)) << p.x() << "," << p.y() << " "
                                                       << describe(screen.pixel(p));
  }
  xdotool({"mousemove", "200", "200", "click", "1"});
  QTest::qWait(100);
  EXPECT_EQ(backdrop_.presses, 1);
  EXPECT_TRUE(input.log.empty());
}

TEST_F(DesktopWindowTest, ShapeIsReplacedOnlyWhenTheCoveredPixelsChange) {
  DesktopWindow window;
  showCharacter(window);
  const int initial = window.shapeUpdates();
  auto frame = discFrame();
  ASSERT_TRUE(window.presentFrame(frame.data(), kSide, kSide));
  EXPECT_EQ(window.shapeUpdates(), initial);
  // Another colour, the same outline.
  for (std::size_t i = 0; i < frame.size(); i += 4) {
    if (frame[i + 3] == 255) frame[i] = 200;
  }
  ASSERT_TRUE(window.presentFrame(frame.data(), kSide, kSide));
  EXPECT_EQ(window.shapeUpdates(), initial);
  // The disc moves: new shape, and the screen follows.
  frame = discFrame(kSide / 2 + 30, kSide / 2);
  ASSERT_TRUE(window.presentFrame(frame.data(), kSide, kSide));
  EXPECT_EQ(window.shapeUpdates(), initial + 1);
  const QImage screen = grabScreen();
  EXPECT_TRUE(sameColour(screen.pixel(285, 200), kRed)) << describe(screen.pixel(285, 200));
  EXPECT_TRUE(sameColour(screen.pixel(145, 200), kDesktop)) << describe(screen.pixel(145, 200));
}

TEST_F(DesktopWindowTest, FrameSizeSetsTheWindowSizeAndBadFramesAreRefused) {
  DesktopWindow window;
  showCharacter(window);
  std::vector<std::uint8_t> small(120 * 80 * 4, 255);
  ASSERT_TRUE(window.presentFrame(small.data(), 120, 80));
  EXPECT_EQ(window.size(), QSize(120, 80));

  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(window.presentFrame(nullptr, 120, 80));
  EXPECT_FALSE(window.presentFrame(small.data(), 0, 80));
  EXPECT_FALSE(window.presentFrame(small.data(), 120, -3));
  EXPECT_FALSE(window.presentFrame(small.data(), 100000, 1));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("presentFrame"), std::string::npos);
  EXPECT_EQ(window.size(), QSize(120, 80));
}

QString netWmState(const QString& id) {
  return QString::fromUtf8(testing::runTool("xprop", {"-id", id, "_NET_WM_STATE"}).out);
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : 0;
  std::free(reply);
  return atom;
}

// Sees the requests that clients send to the window manager through the
// root window, as a window manager would.
class RootWatcher {
 public:
  RootWatcher() {
    connection_ = xcb_connect(nullptr, nullptr);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    state_ = internAtom(connection_, "_NET_WM_STATE");
    skipTaskbar_ = internAtom(connection_, "_NET_WM_STATE_SKIP_TASKBAR");
    skipPager_ = internAtom(connection_, "_NET_WM_STATE_SKIP_PAGER");
  }
  ~RootWatcher() { xcb_disconnect(connection_); }

  // How many "add skip-taskbar and skip-pager" requests came for `window`.
  int skipRequests(unsigned long window) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->window == window && message->type == state_ &&
            message->data.data32[0] == 1 && message->data.data32[1] == skipTaskbar_ &&
            message->data.data32[2] == skipPager_) {
          ++skipRequests_[message->window];
        }
      }
      std::free(event);
    }
    return skipRequests_[static_cast<xcb_window_t>(window)];
  }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_atom_t state_ = 0, skipTaskbar_ = 0, skipPager_ = 0;
  std::map<xcb_window_t, int> skipRequests_;
};

TEST_F(DesktopWindowTest, SkipsTheTaskbarAndAsksToStayOnTop) {
  RootWatcher watcher;
  DesktopWindow window;
  window.setTopMost(true);
  EXPECT_TRUE(window.topMost());
  showCharacter(window);
  const QString state = netWmState(windowId(window));
  EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_TASKBAR")) << state.toStdString();
  EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_PAGER")) << state.toStdString();
  EXPECT_TRUE(state.contains("_NET_WM_STATE_ABOVE")) << state.toStdString();
  EXPECT_EQ(watcher.skipRequests(window.nativeId()), 1);

  // Switched off while shown: the window stays, with its shape.
  window.setTopMost(false);
  EXPECT_FALSE(window.topMost());
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
  QImage screen = grabScreen();
  EXPECT_TRUE(sameColour(screen.pixel(200, 200), kRed)) << describe(screen.pixel(200, 200));
  EXPECT_TRUE(sameColour(screen.pixel(295, 295), kDesktop)) << describe(screen.pixel(295, 295));

  // Hidden and shown again, as the tray does. Qt replaces the X window here
  // (the on-top flag changed); the new one is asked to skip the taskbar too
  // and keeps the character's outline.
  window.hide();
  QTest::qWait(50);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.skipRequests(window.nativeId()) == 1; }, 1000));
  screen = grabScreen();
  EXPECT_TRUE(sameColour(screen.pixel(200, 200), kRed)) << describe(screen.pixel(200, 200));
  EXPECT_TRUE(sameColour(screen.pixel(295, 295), kDesktop)) << describe(screen.pixel(295, 295));
  EXPECT_FALSE(netWmState(windowId(window)).contains("_NET_WM_STATE_ABOVE"));
}


TEST_F(DesktopWindowTest, CompositorChoosesTheTranslucentWindow) {
  EXPECT_FALSE(compositorActive());
  {
    FakeCompositor compositor;
    EXPECT_TRUE(compositorActive());
    DesktopWindow window;
    EXPECT_EQ(window.presentation(), DesktopWindow::Presentation::Translucent);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    // Clicks on transparent pixels still pass: the shape clips input.
    Recorder input(window);
    window.setInput(&input);
    showCharacter(window);
    xdotool({"mousemove", "290", "290", "click", "1"});
    QTest::qWait(100);
    EXPECT_EQ(backdrop_.presses, 1);
    xdotool({"mousemove", "200", "200", "click", "1"});
    QTest::qWait(100);
    EXPECT_EQ(backdrop_.presses, 1);
    EXPECT_FALSE(input.log.empty());
  }
  QTest::qWait(50);
  EXPECT_FALSE(compositorActive());
  DesktopWindow window;
  EXPECT_EQ(window.presentation(), DesktopWindow::Presentation::ShapeMask);
}

}  // namespace
}  // namespace vashel
