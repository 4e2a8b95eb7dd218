// The desktop program on a bare X server, driven from outside as a user
// would: its window, dragging, turning, the debug keys, the mail notice, the
// see-through outline, the tray icon and its menu, how it ends, and its
// start-up under a Wayland session.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "gui/display.h"

namespace vashel {
namespace {

using testing::Backdrop;
using testing::describe;
using testing::kDesktop;
using testing::grabScreen;
using testing::sameColour;

constexpr int kWidth = 240;           // the sample's window size
constexpr int kHeight = 320;


struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

QString xdotoolOutput(const QStringList& args) {
  return QString::fromUtf8(testing::runTool(QStringLiteral("xdotool"), args).out).trimmed();
}

std::optional<Geometry> geometryOf(const QString& window) {
  const QString text = xdotoolOutput({"getwindowgeometry", "--shell", window});
  Geometry g;
  int found = 0;
  for (const QString& line : text.split('\n')) {
    const auto parts = line.split('=');
    if (parts.size() != 2) continue;
    const int value = parts[1].toInt();
    if (parts[0] == "X") g.x = value, ++found;
    if (parts[0] == "Y") g.y = value, ++found;
    if (parts[0] == "WIDTH") g.width = value, ++found;
    if (parts[0] == "HEIGHT") g.height = value, ++found;
  }
  if (found != 4) return std::nullopt;
  return g;
}

// Visible windows of process `pid` whose title is exactly `title` (no
// pattern characters). The process id keeps out windows of a character that
// ended a moment ago and that the X server has not yet taken down.
QStringList visibleWindows(qint64 pid, const QString& title) {
  const QString ids = xdotoolOutput({"search", "--all", "--onlyvisible", "--pid",
                                     QString::number(pid), "--name", "^" + title + "$"});
  return ids.isEmpty() ? QStringList() : ids.split('\n');
}

void xdotool(const QStringList& args) { testing::xdotool(args); }

// A real key press and release (XTEST) with the pointer over `at`: keys that
// close a window or end the program go this way, since a synthetic release
// sent to the window would find it gone.
void keyOver(QPoint at, const QString& key) {
  xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
  xdotool({"key", key});
}

QPoint centreOf(const QString& window) {
  const auto g = geometryOf(window);
  EXPECT_TRUE(g.has_value()) << "window " << window.toStdString() << " is gone";
  return g ? QPoint(g->x + g->width / 2, g->y + g->height / 2) : QPoint();
}

// One run of build/bin/vashel on the sample, with a private home, settings
// folder and mail socket.
class Character {
 public:
  explicit Character(QStringList args = {QStringLiteral("data.glj")}) : args_(std::move(args)) {
    QDir(dir_.path()).mkpath("config");
    QDir(dir_.path()).mkpath("runtime");
    QFile::setPermissions(dir_.filePath("runtime"), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("HOME", dir_.path());
    env_.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env_.insert("XDG_RUNTIME_DIR", dir_.filePath("runtime"));
    env_.insert("VASHEL_MAIL_SOCKET", dir_.filePath("mail"));
  }
  ~Character() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }

  QProcessEnvironment& environment() { return env_; }
  QStringList windows(const QString& title) { return visibleWindows(process_.processId(), title); }
  qint64 pid() const { return process_.processId(); }

  void start() {
    process_.setProcessEnvironment(env_);
    process_.setWorkingDirectory(QStringLiteral(VASHEL_SAMPLE_DIR));
    process_.start(QStringLiteral(VASHEL_BIN_DIR "/vashel"), args_);
    ASSERT_TRUE(process_.waitForStarted(5000)) << "cannot start vashel";
  }

  // Waits for `text` in standard output after position `from`; returns the
  // position after it, or -1.
  qsizetype waitForOutput(const QByteArray& text, qsizetype from = 0, int timeoutMs = 5000) {
    qsizetype at = -1;
    (void)QTest::qWaitFor(
        [&] {
          out_ += process_.readAllStandardOutput();
          at = out_.indexOf(text, from);
          return at >= 0 || process_.state() == QProcess::NotRunning;
        },
        timeoutMs);
    out_ += process_.readAllStandardOutput();
    at = out_.indexOf(text, from);
    return at < 0 ? -1 : at + text.size();
  }
  const QByteArray& output() {
    out_ += process_.readAllStandardOutput();
    return out_;
  }

  // The character's window once the loading has ended and it shows.
  QString window() {
    if (waitForOutput("続きです\n", 0, 15000) < 0) {
      ADD_FAILURE() << "the loading did not end; output:\n" << out_.toStdString();
      return {};
    }
    QString found;
    (void)QTest::qWaitFor(
        [&] {
          for (const QString& id : windows(QStringLiteral("Vashel"))) {
            const auto g = geometryOf(id);
            if (g && g->width == kWidth && g->height == kHeight) found = id;
          }
          return !found.isEmpty();
        },
        10000);
    EXPECT_FALSE(found.isEmpty()) << "no character window";
    QTest::qWait(300);  // the first frames reach the screen
    return found;
  }

  // The exit code once the program has ended, or -1 when it goes on running.
  int waitForExit(int timeoutMs = 15000) {
    if (!QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs)) {
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2;
  }

  // The frames the program has drawn so far, which it prints on SIGUSR1;
  // -1 when no report comes.
  long long framesDrawn() {
    const qsizetype from = output().size();
    ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1);
    const qsizetype end = waitForOutput(" frames drawn", from);
    if (end < 0) return -1;
    const qsizetype start = out_.lastIndexOf("[PAINTS] ", end);
    return start < 0 ? -1 : out_.mid(start + 9, end - start - 9 - 13).toLongLong();
  }

  // Standard error so far.
  const QByteArray& errors() {
    err_ += process_.readAllStandardError();
    return err_;
  }

  // vashel-mail COUNT against this character; returns its exit code.
  int sendMail(const QString& count) {
    QProcess sender;
    sender.setProcessEnvironment(env_);
    sender.start(QStringLiteral(VASHEL_BIN_DIR "/vashel-mail"), {count});
    EXPECT_TRUE(sender.waitForStarted(5000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, 10000));
    return sender.exitCode();
  }

 private:
  QStringList args_;
  QTemporaryDir dir_;
  QProcessEnvironment env_;
  QProcess process_;
  QByteArray out_;
  QByteArray err_;
};

// A screen point well inside the character: the centre of a 9 × 9 block of
// non-desktop pixels, nearest to the window's centre.
std::optional<QPoint> characterPoint(const QImage& screen, const Geometry& g) {
  const QPoint centre(g.x + g.width / 2, g.y + g.height / 2);
  std::optional<QPoint> best;
  int bestDistance = 0;
  for (int y = g.y + 4; y < g.y + g.height - 4; y += 2) {
    for (int x = g.x + 4; x < g.x + g.width - 4; x += 2) {
      bool solid = true;
      for (int dy = -4; dy <= 4 && solid; ++dy) {
        for (int dx = -4; dx <= 4 && solid; ++dx) {
          solid = !sameColour(screen.pixel(x + dx, y + dy), kDesktop);
        }
      }
      const int distance = (QPoint(x, y) - centre).manhattanLength();
      if (solid && (!best || distance < bestDistance)) {
        best = QPoint(x, y);
        bestDistance = distance;
      }
    }
  }
  return best;
}

QStringList point(int x, int y) { return {QString::number(x), QString::number(y)}; }

class VashelProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backdrop_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop_));
  }

  // Starts the character and finds a point on it.
  void startOnDesktop() {
    character_.start();
    window_ = character_.window();
    ASSERT_FALSE(window_.isEmpty());
    const auto g = geometryOf(window_);
    ASSERT_TRUE(g.has_value());
    geometry_ = *g;
    // The first frames can take a while to reach the screen on a loaded machine.
    std::optional<QPoint> p;
    (void)QTest::qWaitFor(
        [&] {
          p = characterPoint(grabScreen(), geometry_);
          return p.has_value();
        },
        10000);
    ASSERT_TRUE(p.has_value()) << "no character pixels in the window";
    onCharacter_ = *p;
  }

  // Where the balloon's windows stand: from her first words on they may
  // cover the top of her window.
  std::vector<QRect> balloonRects() {
    std::vector<QRect> rects;
    for (const char* title : {"message", "balloon"}) {
      for (const QString& id : character_.windows(QString::fromLatin1(title))) {
        if (const auto g = geometryOf(id)) rects.emplace_back(g->x, g->y, g->width, g->height);
      }
    }
    return rects;
  }

  Backdrop backdrop_;
  Character character_;
  QString window_;
  Geometry geometry_;
  QPoint onCharacter_;
};

TEST_F(VashelProgramTest, ShowsTheCharacterAndTheDesktopAroundIt) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  std::vector<QRect> balloon = balloonRects();
  const QImage screen = grabScreen();
  for (const QRect& r : balloonRects()) balloon.push_back(r);
  const auto inBalloon = [&](int x, int y) {
    return std::any_of(balloon.begin(), balloon.end(),
                       [&](const QRect& r) { return r.contains(x, y); });
  };
  const Geometry& g = geometry_;
  int covered = 0;
  for (int y = g.y; y < g.y + g.height; ++y) {
    for (int x = g.x; x < g.x + g.width; ++x) {
      if (!inBalloon(x, y) && !sameColour(screen.pixel(x, y), kDesktop)) ++covered;
    }
  }
  // The figure covers part of the window, the rest shows the desktop.
  const int area = g.width * g.height;
  EXPECT_GT(covered, area / 20);
  EXPECT_LT(covered, area * 3 / 4);
  // The corners of the window, and its whole top row, are see-through.
  for (const QPoint p : {QPoint(g.x + 1, g.y + 1), QPoint(g.x + g.width - 2, g.y + 1),
                         QPoint(g.x + 1, g.y + g.height - 2),
                         QPoint(g.x + g.width - 2, g.y + g.height - 2)}) {
    if (inBalloon(p.x(), p.y())) continue;
    EXPECT_TRUE(sameColour(screen.pixel(p), kDesktop))
        << p.x() << "," << p.y() << " shows " << describe(screen.pixel(p));
  }
  for (int x = g.x; x < g.x + g.width; ++x) {
    if (inBalloon(x, g.y)) continue;
    ASSERT_TRUE(sameColour(screen.pixel(x, g.y), kDesktop)) << "top row at x " << x;
  }

  // Clicks on see-through pixels reach the desktop; clicks on her do not.
  // The bottom corner: the balloon never reaches down there.
  xdotool({"mousemove", QString::number(g.x + 1), QString::number(g.y + g.height - 2)});
  xdotool({"click", "1"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return backdrop_.presses == 1; }, 2000));
  QTest::qWait(600);  // not a double-click with the next one
  xdotool({"mousemove", QString::number(onCharacter_.x()), QString::number(onCharacter_.y())});
  xdotool({"click", "1"});
  QTest::qWait(200);
  EXPECT_EQ(backdrop_.presses, 1);
}

TEST_F(VashelProgramTest, LeftDragMovesTheWindowByTheDragDistance) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  const QPoint p = onCharacter_;
  xdotool(QStringList{"mousemove"} + point(p.x(), p.y()));
  xdotool({"mousedown", "1"});
  xdotool(QStringList{"mousemove"} + point(p.x() - 50, p.y() - 30));
  xdotool(QStringList{"mousemove"} + point(p.x() - 150, p.y() - 100));
  xdotool(QStringList{"mousemove"} + point(p.x() - 170, p.y() - 120));
  xdotool({"mouseup", "1"});
  std::optional<Geometry> moved;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        moved = geometryOf(window_);
        return moved && moved->x == geometry_.x - 170 && moved->y == geometry_.y - 120;
      },
      3000))
      << "from " << geometry_.x << "," << geometry_.y << " to "
      << (moved ? moved->x : -1) << "," << (moved ? moved->y : -1);
  EXPECT_EQ(backdrop_.presses, 0);

  // The character follows: her pixels stand at the new place.
  const QImage screen = grabScreen();
  EXPECT_FALSE(sameColour(screen.pixel(p.x() - 170, p.y() - 120), kDesktop));
}

TEST_F(VashelProgramTest, ThreeQuickClicksAreOneDoubleClick) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  const QPoint p = onCharacter_;
  xdotool(QStringList{"mousemove"} + point(p.x(), p.y()));
  xdotool({"click", "--repeat", "3", "--delay", "60", "1"});
  // The hand-made double-click prints the point in the window and 513.
  const QByteArray line = QStringLiteral(" %1 %2 513\n")
                              .arg(p.x() - geometry_.x)
                              .arg(p.y() - geometry_.y)
                              .toUtf8();
  ASSERT_GE(character_.waitForOutput(line), 0) << character_.output().toStdString();
  QTest::qWait(500);
  EXPECT_EQ(character_.output().count(" 513\n"), 1);
  const auto g = geometryOf(window_);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->x, geometry_.x) << "clicks in place move nothing";
}

TEST_F(VashelProgramTest, RightDragTurnsTheViewWithPitchClamped) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  const QPoint p = onCharacter_;
  xdotool(QStringList{"mousemove"} + point(p.x(), p.y()));
  xdotool({"mousedown", "3"});
  xdotool(QStringList{"mousemove"} + point(p.x() + 30, p.y() + 10));
  xdotool(QStringList{"mousemove"} + point(p.x() + 60, p.y() + 20));
  xdotool({"mouseup", "3"});
  qsizetype at = character_.waitForOutput("[VIEW] yaw 60 pitch 20\n");
  ASSERT_GE(at, 0) << character_.output().toStdString();
  EXPECT_GE(character_.output().indexOf("ボタンダウン\nWM_RBUTTONDOWN draw\n"), 0);

  // Down and further down: the pitch stops at 45; the yaw goes on past a
  // turn. The press must land on her again: the release point may not.
  const auto q = characterPoint(grabScreen(), geometry_);
  ASSERT_TRUE(q.has_value());
  xdotool(QStringList{"mousemove"} + point(q->x(), q->y()));
  xdotool({"mousedown", "3"});
  xdotool(QStringList{"mousemove"} + point(q->x(), q->y() + 60));
  xdotool(QStringList{"mousemove"} + point(q->x() - 400, q->y() + 60));
  xdotool({"mouseup", "3"});
  EXPECT_GE(character_.waitForOutput("[VIEW] yaw -340 pitch 45\n", at), 0)
      << character_.output().toStdString();
  const auto g = geometryOf(window_);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->x, geometry_.x) << "turning does not move the window";
}

TEST_F(VashelProgramTest, DebugKeysPrintTheirLines) {
  character_.start();
  window_ = character_.window();
  ASSERT_FALSE(window_.isEmpty());
  qsizetype at = 0;
  const struct {
    const char* key;
    QByteArray expected;
  } keys[] = {{"j", "[KEY (j)]\n  Joint ON\n"},
              {"p", "[KEY (p)]\n  Polygon OFF\n"},
              {"p", "[KEY (p)]\n  Polygon ON\n"},
              {"space", "[KEY ( )]\n  Pause\n  KeyCommand draw\n"},
              {"period", "[KEY (.)]\n  Next frame["},
              {"x", "[KEY (x)]\n  undefined\n  KeyCommand draw\n"}};
  for (const auto& k : keys) {
    xdotool({"key", "--window", window_, k.key});
    const qsizetype next = character_.waitForOutput(k.expected, at);
    ASSERT_GE(next, 0) << k.key << ":\n" << character_.output().toStdString();
    if (k.expected.endsWith("[")) {
      // Paused, nothing else prints: the frame number and the draw follow.
      const QString rest = QString::fromUtf8(character_.output().mid(next));
      EXPECT_TRUE(QRegularExpression("^\\d+\\]\n  KeyCommand draw\n").match(rest).hasMatch())
          << rest.toStdString();
    }
    at = next;
  }
}

// The statistics box opens inside the frame of a click; the clock's tick that
// falls due while it is open must not be lost.
TEST_F(VashelProgramTest, TheClockRunsOnAfterTheStatisticsBoxOfAClick) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  // Her first action change after the greeting only shows the welcome
  // message; the one after it starts an action and prints its statistics.
  const qsizetype loaded = character_.waitForOutput("続きです\n");
  ASSERT_GE(character_.waitForOutput("[PLAYEND]", loaded, 15000), 0)
      << character_.output().toStdString();
  xdotool({"key", "--window", window_, "i"});
  const qsizetype asked = character_.waitForOutput("  Show Stat ON\n", loaded);
  ASSERT_GE(asked, 0) << character_.output().toStdString();
  // A click on her body starts the tickle action, and with it the box. The
  // body's pick target covers her waist, five eighths down the window.
  QStringList boxes;
  for (const int down : {200, 180, 220, 160, 240}) {
    xdotool(QStringList{"mousemove"} + point(geometry_.x + geometry_.width / 2, geometry_.y + down));
    xdotool({"click", "3"});
    if (QTest::qWaitFor(
            [&] {
              boxes = character_.windows(QStringLiteral("PLAYSTAT"));
              return !boxes.isEmpty();
            },
            500)) {
      break;
    }
  }
  ASSERT_FALSE(boxes.isEmpty()) << "no statistics box; output:\n" << character_.output().toStdString();
  ASSERT_LT(character_.output().indexOf("Playend Check", asked), 0)
      << "the box came with the end of an action, not with the click";
  QTest::qWait(400);  // several ticks fall due
  keyOver(centreOf(boxes.first()), "Return");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return character_.windows(QStringLiteral("PLAYSTAT")).isEmpty(); }, 5000));
  const long long before = character_.framesDrawn();
  QTest::qWait(1000);
  const long long after = character_.framesDrawn();
  ASSERT_GE(before, 0) << "no [PAINTS] report";
  EXPECT_GT(after - before, 5) << "the character stopped";
}

// A window over the whole screen covers her: she draws nothing while covered,
// yet her clock goes on, and she draws again once the cover is gone.
TEST_F(VashelProgramTest, ACoveredCharacterDrawsNothingUntilUncovered) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  Backdrop cover;
  cover.show();
  cover.raise();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
  QTest::qWait(500);  // the server's report reaches her
  const long long covered = character_.framesDrawn();
  QTest::qWait(1500);
  const long long stillCovered = character_.framesDrawn();
  ASSERT_GE(covered, 0) << "no [PAINTS] report";
  EXPECT_EQ(stillCovered, covered) << "frames were drawn under the cover";

  cover.hide();
  QTest::qWait(500);
  const long long shown = character_.framesDrawn();
  QTest::qWait(1000);
  EXPECT_GT(character_.framesDrawn() - shown, 5) << "drawing did not resume";
}

TEST_F(VashelProgramTest, TheSameMailCountTwiceShowsOneNotice) {
  character_.start();
  window_ = character_.window();
  ASSERT_FALSE(window_.isEmpty());
  ASSERT_EQ(character_.sendMail("3"), 0);
  QStringList boxes;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        boxes = character_.windows(QStringLiteral("POP3 NOTIFY"));
        return !boxes.isEmpty();
      },
      5000))
      << "no notice";
  // The same count again while the box is open: taken, but no second box.
  EXPECT_EQ(character_.sendMail("3"), 0);
  QTest::qWait(500);
  EXPECT_EQ(character_.windows(QStringLiteral("POP3 NOTIFY")).size(), 1);

  keyOver(centreOf(boxes.first()), "Return");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return character_.windows(QStringLiteral("POP3 NOTIFY")).isEmpty(); }, 5000))
      << "Return did not close the notice";
  EXPECT_EQ(character_.sendMail("3"), 0);
  QTest::qWait(500);
  EXPECT_TRUE(character_.windows(QStringLiteral("POP3 NOTIFY")).isEmpty());
}

TEST_F(VashelProgramTest, EscapeQuitsWithExitCodeZero) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  keyOver(onCharacter_, "Escape");
  EXPECT_EQ(character_.waitForExit(), 0);
}

// Asks the window to close the way a window manager does (WM_DELETE_WINDOW).
void requestClose(const QString& window) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  ASSERT_EQ(xcb_connection_has_error(connection), 0);
  const auto atom = [&](const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return value;
  };
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window.toUInt();
  event.type = atom("WM_PROTOCOLS");
  event.data.data32[0] = atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&event));
  // A round trip, not a flush: the server may drop requests still unread when
  // the connection closes, and a busy Xvfb often has not read this one yet.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  xcb_disconnect(connection);
}

TEST_F(VashelProgramTest, AWindowManagersCloseEndsTheProgram) {
  character_.start();
  window_ = character_.window();
  ASSERT_FALSE(window_.isEmpty());
  requestClose(window_);
  EXPECT_EQ(character_.waitForExit(), 0) << "the character went away but the program ran on";
}

// Starts the character with a settings file that saves the window at (x, y);
// returns where its window stands.
std::optional<Geometry> startWithSavedPlace(Character& character, int x, int y) {
  const QString folder = character.environment().value("XDG_CONFIG_HOME") + "/Vashel";
  if (!QDir().mkpath(folder)) return std::nullopt;
  QFile saved(folder + "/Vashel.conf");
  if (!saved.open(QIODevice::WriteOnly)) return std::nullopt;
  saved.write(QStringLiteral("[General]\nwinx=%1\nwiny=%2\n").arg(x).arg(y).toUtf8());
  saved.close();
  character.start();
  const QString window = character.window();
  if (window.isEmpty()) return std::nullopt;
  return geometryOf(window);
}

TEST_F(VashelProgramTest, StartsWhereTheSavedSettingsPutIt) {
  const auto g = startWithSavedPlace(character_, 123, 45);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->x, 123);
  EXPECT_EQ(g->y, 45);
}

// The monitor it stood on is gone: the saved place lies beyond this 1024 x 768
// screen, so the character stands at the default place instead.
TEST_F(VashelProgramTest, ASavedPlaceOnNoScreenGivesTheDefaultPlace) {
  const auto g = startWithSavedPlace(character_, 1920, 100);
  ASSERT_TRUE(g.has_value());
  EXPECT_EQ(g->x, 1024 - 1 - kWidth - 40);
  EXPECT_EQ(g->y, 768 - 1 - kHeight - 20);
}

// A visible window of the character's process other than `character` (its
// menus, which carry no WM_NAME, only the program's class) whose size lies
// within the given bounds.
std::optional<Geometry> ownWindow(Character& process, const QString& character, QSize smallest,
                                  QSize largest) {
  const QString ids = xdotoolOutput({"search", "--all", "--onlyvisible", "--pid",
                                     QString::number(process.pid()), "--class", "^vashel$"});
  for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
    if (id == character) continue;
    const auto g = geometryOf(id);
    if (g && g->width >= smallest.width() && g->height >= smallest.height() &&
        g->width <= largest.width() && g->height <= largest.height()) {
      return g;
    }
  }
  return std::nullopt;
}

// The tray menu: ten items and three separators, far taller than an icon.
std::optional<Geometry> waitForTrayMenu(Character& process, const QString& character) {
  std::optional<Geometry> menu;
  (void)QTest::qWaitFor(
      [&] {
        menu = ownWindow(process, character, QSize(80, 150), QSize(600, 700));
        return menu.has_value();
      },
      5000);
  return menu;
}

// A notification area on the test's screen: trayer, as a panel at the top right.
class TrayHost {
 public:
  TrayHost() {
    process_.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype",
                                              "request", "--height", "32"});
  }
  ~TrayHost() {
    process_.kill();
    process_.waitForFinished(3000);
  }
  bool running() {
    return process_.waitForStarted(5000) &&
           QTest::qWaitFor([] { return !xdotoolOutput({"search", "--name", "^panel$"}).isEmpty(); },
                           5000);
  }

 private:
  QProcess process_;
};

TEST_F(VashelProgramTest, TheTrayIconOpensTheTrayMenuWhoseSaveWritesTheSettings) {
  TrayHost tray;
  ASSERT_TRUE(tray.running()) << "trayer did not start (scripts/deps.sh installs it)";
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  EXPECT_LT(character_.errors().indexOf("no notification area"), 0)
      << character_.errors().toStdString();
  // The icon docks as a child of the panel, where xdotool's search does not
  // look: xwininfo lists it with its place on the screen.
  const QString panel = xdotoolOutput({"search", "--name", "^panel$"}).section('\n', 0, 0);
  const QRegularExpression iconLine(
      "\"vashel\": \\(\"vashel\" \"vashel\"\\)\\s+(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)");
  std::optional<Geometry> icon;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QString tree = QString::fromUtf8(
            testing::runTool(QStringLiteral("xwininfo"), {"-tree", "-id", panel}).out);
        const auto match = iconLine.match(tree);
        if (match.hasMatch()) {
          icon = Geometry{match.captured(3).toInt(), match.captured(4).toInt(),
                          match.captured(1).toInt(), match.captured(2).toInt()};
        }
        return icon.has_value();
      },
      5000))
      << "no tray icon in the panel";
  xdotool(QStringList{"mousemove"} + point(icon->x + icon->width / 2, icon->y + icon->height / 2));
  xdotool({"click", "1"});
  const auto menu = waitForTrayMenu(character_, window_);
  ASSERT_TRUE(menu.has_value()) << "the tray menu did not open";
  // The pointer on its last item, Exit; above it delete, then save.
  xdotool(QStringList{"mousemove"} + point(menu->x + menu->width / 2, menu->y + menu->height - 8));
  xdotool({"key", "Up", "Up", "Return"});
  QStringList boxes;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        boxes = character_.windows(QStringLiteral("Registry"));
        return !boxes.isEmpty();
      },
      5000))
      << "save asked nothing; output:\n" << character_.output().toStdString();
  keyOver(centreOf(boxes.first()), "Return");
  const QString file = character_.environment().value("XDG_CONFIG_HOME") + "/Vashel/Vashel.conf";
  QByteArray saved;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        QFile f(file);
        saved = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        return saved.contains("winx=");
      },
      5000));
  EXPECT_TRUE(saved.contains("winx=" + QByteArray::number(geometry_.x) + "\n")) << saved.toStdString();
}

TEST_F(VashelProgramTest, WithoutATrayAMiddleClickOpensTheTrayMenuWithExit) {
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  EXPECT_EQ(character_.errors().count("no notification area"), 1)
      << character_.errors().toStdString();
  xdotool(QStringList{"mousemove"} + point(onCharacter_.x(), onCharacter_.y()));
  xdotool({"click", "2"});
  const auto menu = waitForTrayMenu(character_, window_);
  ASSERT_TRUE(menu.has_value()) << "the tray menu did not open";
  xdotool(QStringList{"mousemove"} + point(menu->x + menu->width / 2, menu->y + menu->height - 8));
  xdotool({"click", "1"});
  EXPECT_EQ(character_.waitForExit(), 0);
  EXPECT_GE(character_.output().indexOf("トレイアイコン消すよ\n"), 0);
}

TEST(VashelProgram, AMissingSceneShowsTheErrorBoxAndExitsWithOne) {
  Character character({QStringLiteral("no-such-scene.glj")});
  character.start();
  QStringList boxes;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        boxes = character.windows(QStringLiteral("ERROR"));
        return !boxes.isEmpty();
      },
      10000))
      << "no error box; windows:\n"
      << testing::runTool(QStringLiteral("xwininfo"), {"-root", "-tree"}).out.toStdString();
  EXPECT_EQ(character.waitForExit(200), -1) << "the box waits for the user";
  keyOver(centreOf(boxes.first()), "Return");
  EXPECT_EQ(character.waitForExit(), 1);
  EXPECT_TRUE(character.windows(QStringLiteral("Vashel")).isEmpty());
}

// Waits for the program's failure box titled `caption`, closes it as a user
// would and returns the exit code; the program must not end before.
int closeFailureBoxAndWaitForExit(Character& character, const QString& caption) {
  QStringList boxes;
  if (!QTest::qWaitFor(
          [&] {
            boxes = character.windows(caption);
            return !boxes.isEmpty();
          },
          10000)) {
    ADD_FAILURE() << "no box \"" << caption.toStdString() << "\"; exit code "
                  << character.waitForExit(0) << "; windows:\n"
                  << testing::runTool(QStringLiteral("xwininfo"), {"-root", "-tree"}).out.toStdString();
    return -3;
  }
  EXPECT_EQ(character.waitForExit(200), -1) << "the box waits for the user";
  keyOver(centreOf(boxes.first()), "Return");
  const int code = character.waitForExit();
  EXPECT_TRUE(character.windows(QStringLiteral("Vashel")).isEmpty());
  return code;
}

// A file with no line of scene text would load as an empty, invisible and
// click-through character that only kill could end.
TEST(VashelProgram, AFileWithNoSceneTextShowsTheErrorBoxAndExitsWithOne) {
  QTemporaryDir dir;
  const struct {
    const char* name;
    QByteArray bytes;
  } files[] = {{"empty.glj", QByteArray()},
               {"zeros.gl", QByteArray(4096, '\0')},
               {"image.gl", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(3000, '\xfe')}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    QFile out(dir.filePath(file.name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file.bytes);
    out.close();
    Character character({out.fileName()});
    character.start();
    EXPECT_EQ(closeFailureBoxAndWaitForExit(character, QStringLiteral("ERROR")), 1);
  }
}

// Without a GL context nothing can be drawn: after its box the program ends
// instead of running on without a window. glvnd's EGL with no vendor library
// to load stands for a machine without a usable driver.
TEST(VashelProgram, NoGlContextShowsItsBoxAndExitsWithOne) {
  Character character;
  character.environment().insert("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/vendor.json");
  character.start();
  EXPECT_EQ(closeFailureBoxAndWaitForExit(character, QString()), 1);
}

TEST_F(VashelProgramTest, StartsThroughX11UnderAWaylandSessionWithoutAServer) {
  character_.environment().insert("WAYLAND_DISPLAY", "wayland-vashel-test-absent");
  character_.environment().insert("XDG_SESSION_TYPE", "wayland");
  character_.environment().remove("QT_QPA_PLATFORM");
  ASSERT_NO_FATAL_FAILURE(startOnDesktop());
  keyOver(onCharacter_, "Escape");
  EXPECT_EQ(character_.waitForExit(), 0);
}

// The loudest 16-bit sample OpenAL Soft's wave backend has written after
// byte `from` of its file so far (the file's sizes are set only at its end).
int loudestWritten(const QString& file, qsizetype from) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = in.readAll();
  const qsizetype data = bytes.indexOf("data");
  if (data < 0) return -1;
  int most = 0;
  // Samples start after the data chunk's header, at an even offset.
  qsizetype start = std::max(from, data + 8);
  start += (start - data) % 2;
  for (qsizetype i = start; i + 1 < bytes.size(); i += 2) {
    const auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
    most = std::max(most, std::abs(int{sample}));
  }
  return most;
}

// The sample's actions are heard: with OpenAL Soft writing what it plays to a
// file, the start-up greeting brings its chime, then silence once it has
// ended, and the stretch action its own sound.
TEST_F(VashelProgramTest, ActionsPlayTheirSounds) {
  QTemporaryDir audio;
  const QString wave = audio.filePath("out.wav");
  QFile conf(audio.filePath("alsoft.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write(("[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\n[wave]\nfile=" + wave +
              "\n").toUtf8());
  conf.close();
  character_.environment().insert("ALSOFT_CONF", conf.fileName());
  character_.environment().remove("ALSOFT_DRIVERS");
  character_.start();
  window_ = character_.window();
  ASSERT_FALSE(window_.isEmpty());
  (void)QTest::qWaitFor([&] { return loudestWritten(wave, 0) > 1000; }, 5000);
  EXPECT_GT(loudestWritten(wave, 0), 1000) << "the greeting's chime was not heard";
  QTest::qWait(2000);  // the chime lasts 1.6 s
  qsizetype before = QFile(wave).size();
  QTest::qWait(300);
  EXPECT_LT(loudestWritten(wave, before), 100) << "sound after the chime's end";
  before = QFile(wave).size();
  // The first action change after start-up may only show the welcome
  // message; by the second key action 2 plays.
  qsizetype at = 0;
  for (const char* expected : {"setNewAction[1]\n", "setNewAction[2]\n"}) {
    xdotool({"key", "--window", window_, "A"});
    at = character_.waitForOutput(expected, at);
    ASSERT_GE(at, 0) << character_.output().toStdString();
  }
  // Once the stretch has begun only its sound can play for a while.
  QTest::qWait(400);
  before = QFile(wave).size();
  (void)QTest::qWaitFor([&] { return loudestWritten(wave, before) > 1000; }, 1500);
  EXPECT_GT(loudestWritten(wave, before), 1000) << "stretch.wav was not heard";
}

}  // namespace
}  // namespace vashel
