// The speech balloon of the desktop program on a bare X server: drawn beside
// the sample character with its tail towards her, see-through outside its
// shape, stepping through a clicked sequence and following her when dragged.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QFontInfo>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "gui/display.h"
#include "messages/balloon.h"
#include "messages/balloon_windows_qt.h"
#include "platform/codepage.h"

namespace vashel {
namespace {

using testing::Backdrop;
using testing::describe;
using testing::FakeCompositor;
using testing::kDesktop;
using testing::grabScreen;
using testing::sameColour;



QString xdotoolOutput(const QStringList& args) {
  return QString::fromUtf8(testing::runTool(QStringLiteral("xdotool"), args).out).trimmed();
}

std::optional<QRect> geometryOf(const QString& window) {
  int x = 0, y = 0, width = 0, height = 0, found = 0;
  for (const QString& line :
       xdotoolOutput({"getwindowgeometry", "--shell", window}).split('\n')) {
    const QStringList parts = line.split('=');
    if (parts.size() != 2) continue;
    const int value = parts[1].toInt();
    if (parts[0] == "X") x = value, ++found;
    if (parts[0] == "Y") y = value, ++found;
    if (parts[0] == "WIDTH") width = value, ++found;
    if (parts[0] == "HEIGHT") height = value, ++found;
  }
  if (found != 4) return std::nullopt;
  return QRect(x, y, width, height);
}

QStringList point(int x, int y) { return {QString::number(x), QString::number(y)}; }

// build/bin/vashel on the sample, with a private home and settings.
class Program {
 public:
  Program() {
    QDir(dir_.path()).mkpath("config");
    QDir(dir_.path()).mkpath("runtime");
    QFile::setPermissions(dir_.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", dir_.filePath("runtime"));
    env.insert("VASHEL_MAIL_SOCKET", dir_.filePath("mail"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QStringLiteral(VASHEL_SAMPLE_DIR));
    process_.start(QStringLiteral(VASHEL_BIN_DIR "/vashel"), {QStringLiteral("data.glj")});
  }
  ~Program() {
    process_.kill();
    process_.waitForFinished(3000);
  }

  // A visible window of the program titled `title`, of `size` when given.
  std::optional<QRect> window(const QString& title, int timeoutMs = 20000, QSize size = {}) {
    std::optional<QRect> found;
    (void)QTest::qWaitFor(
        [&] {
          const QString ids =
              xdotoolOutput({"search", "--all", "--onlyvisible", "--pid",
                             QString::number(process_.processId()), "--name", "^" + title + "$"});
          found.reset();
          for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
            const std::optional<QRect> g = geometryOf(id);
            if (g && (size.isEmpty() || g->size() == size)) found = g;
          }
          return found.has_value();
        },
        timeoutMs);
    return found;
  }
  // The X window id of the program's visible window titled `title`.
  QString windowId(const QString& title) {
    return xdotoolOutput({"search", "--all", "--onlyvisible", "--pid",
                          QString::number(process_.processId()), "--name", "^" + title + "$"})
        .section('\n', 0, 0);
  }
  // Waits for `text` in standard output after position `from`.
  bool said(const QByteArray& text, qsizetype from, int timeoutMs = 3000) {
    return QTest::qWaitFor([&] { return output().indexOf(text, from) >= 0; }, timeoutMs);
  }
  std::optional<QRect> character(int timeoutMs = 20000) {
    return window(QStringLiteral("Vashel"), timeoutMs, QSize(240, 320));
  }

  // Waits until the balloon stands still with a size other than `other`.
  std::optional<QRect> balloonOtherThan(QSize other, int timeoutMs) {
    std::optional<QRect> now;
    (void)QTest::qWaitFor(
        [&] {
          now = window(QStringLiteral("message"), 100);
          return now && now->size() != other;
        },
        timeoutMs);
    if (!now || now->size() == other) return std::nullopt;
    QTest::qWait(200);
    return window(QStringLiteral("message"), 100);
  }

  QByteArray output() { return out_ += process_.readAllStandardOutput(); }

 private:
  QTemporaryDir dir_;
  QProcess process_;
  QByteArray out_;
};

bool isDark(QRgb c) { return qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100; }

// What a screenshot shows of a balloon at `body` with its tail at `tail`.
void expectBalloonDrawn(const QImage& screen, QRect body, QRect tail, bool tailOnRight) {
  SCOPED_TRACE("balloon at " + std::to_string(body.x()) + "," + std::to_string(body.y()) + " " +
               std::to_string(body.width()) + "x" + std::to_string(body.height()));
  const int midX = body.x() + body.width() / 2;
  const int midY = body.y() + body.height() / 2;
  // A black border, and the desktop beyond the rounded corners.
  EXPECT_TRUE(isDark(screen.pixel(midX, body.y()))) << describe(screen.pixel(midX, body.y()));
  EXPECT_TRUE(isDark(screen.pixel(body.x(), midY))) << describe(screen.pixel(body.x(), midY));
  EXPECT_TRUE(isDark(screen.pixel(body.right(), midY)));
  EXPECT_TRUE(sameColour(screen.pixel(body.topLeft()), kDesktop)) << describe(screen.pixel(body.topLeft()));
  EXPECT_TRUE(sameColour(screen.pixel(body.topRight()), kDesktop));
  // A white body with dark text on it.
  int white = 0, dark = 0, inside = 0;
  for (int y = body.y() + 4; y < body.bottom() - 3; ++y) {
    for (int x = body.x() + 4; x < body.right() - 3; ++x) {
      const QRgb c = screen.pixel(x, y);
      ++inside;
      if (sameColour(c, qRgb(255, 255, 255))) ++white;
      if (isDark(c)) ++dark;
    }
  }
  EXPECT_GT(white, inside / 2);
  EXPECT_GT(dark, 30) << "no text";
  // The tail's wedge hangs below the body at the end towards the character.
  EXPECT_EQ(tail.size(), QSize(32, 32));
  EXPECT_EQ(tail.y(), body.bottom());
  EXPECT_EQ(tail.x(), tailOnRight ? body.right() + 1 - 32 : body.x());
  const QPoint inWedge = tail.topLeft() + QPoint(tailOnRight ? 9 : 22, 6);
  const QPoint besideWedge = tail.topLeft() + QPoint(tailOnRight ? 22 : 9, 6);
  EXPECT_TRUE(sameColour(screen.pixel(inWedge), qRgb(255, 255, 255))) << describe(screen.pixel(inWedge));
  EXPECT_TRUE(sameColour(screen.pixel(besideWedge), kDesktop)) << describe(screen.pixel(besideWedge));
}

void expectNothingGreen(const QImage& screen) {
  int green = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const QRgb c = screen.pixel(x, y);
      if (qGreen(c) > 180 && qRed(c) < 90 && qBlue(c) < 90) ++green;
    }
  }
  EXPECT_EQ(green, 0);
}

// The balloon stands beside the character window `main` (240 × 320), on
// the side towards the middle of a 1024-pixel screen.
void expectBeside(QRect body, QRect main) {
  const bool leftHalf = main.x() < (1024 - 240) / 2;
  if (leftHalf) {
    EXPECT_EQ(body.x(), main.x() + 167);
  } else {
    EXPECT_EQ(body.right() + 1, main.x() + 72);
  }
  EXPECT_EQ(body.bottom() + 1, std::max(1 + body.height(), main.y() + 40));
}

class BalloonProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backdrop_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop_));
  }
  Backdrop backdrop_;
};

TEST_F(BalloonProgramTest, HerFirstMessageShowsBesideHer) {
  Program program;
  const std::optional<QRect> main = program.character();
  ASSERT_TRUE(main.has_value()) << program.output().toStdString();
  // Her welcome, or a word of a sequence, within seconds of the start.
  const std::optional<QRect> body = program.balloonOtherThan(QSize(), 20000);
  ASSERT_TRUE(body.has_value()) << "no balloon; output:\n" << program.output().toStdString();
  const std::optional<QRect> tail = program.window(QStringLiteral("balloon"), 2000);
  ASSERT_TRUE(tail.has_value());
  expectBeside(*body, *main);
  const QImage screen = grabScreen();
  // She starts at the lower right: the balloon stands to her left.
  expectBalloonDrawn(screen, *body, *tail, true);
  expectNothingGreen(screen);
  EXPECT_TRUE(program.output().contains("WM_PAINT\n"));

  // A double-click on a balloon without a link only says so; a key typed
  // into the balloon reaches the character, whose i key answers.
  const qsizetype from = program.output().size();
  testing::xdotool(QStringList{"mousemove"} + point(body->center().x(), body->center().y()));
  testing::xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(program.said("左だぶるくりっく\n", from)) << program.output().mid(from).toStdString();
  const QString id = program.windowId(QStringLiteral("message"));
  ASSERT_FALSE(id.isEmpty()) << "the balloon went away";
  testing::xdotool({"key", "--window", id, "i"});
  EXPECT_TRUE(program.said("POPUP側でキー受信\n", from));
  EXPECT_TRUE(program.said("  Show Stat ON\n", from)) << program.output().mid(from).toStdString();
}

TEST_F(BalloonProgramTest, AClickedSequenceStepsOnAndTheBalloonFollowsADrag) {
  Program program;
  const std::optional<QRect> main = program.character();
  ASSERT_TRUE(main.has_value());
  const std::optional<QRect> welcome = program.balloonOtherThan(QSize(), 20000);
  ASSERT_TRUE(welcome.has_value());

  // A right click on her head starts the head-pat conversation, whose first
  // entry is one line. The head lies below the top of her hair.
  const QImage before = grabScreen();
  int top = -1;
  for (int y = main->y(); y <= main->bottom() && top < 0; ++y) {
    if (!sameColour(before.pixel(main->center().x(), y), kDesktop)) top = y;
  }
  ASSERT_GE(top, 0) << "no character in her window";
  std::optional<QRect> first;
  for (const int down : {80, 60, 100, 40}) {
    testing::xdotool(QStringList{"mousemove"} + point(main->center().x(), top + down));
    testing::xdotool({"click", "3"});
    first = program.balloonOtherThan(welcome->size(), 1500);
    if (first && first->height() < welcome->height()) break;
  }
  ASSERT_TRUE(first.has_value()) << "the click started no conversation";
  const QImage firstShot = grabScreen().copy(*first);

  // Its 4 seconds end and the next entry shows; she is dragged, and the
  // balloon goes with her.
  QTest::qWait(4800);
  const QPoint grip(main->center().x(), top + 150);
  testing::xdotool(QStringList{"mousemove"} + point(grip.x(), grip.y()));
  testing::xdotool({"mousedown", "1"});
  testing::xdotool(QStringList{"mousemove"} + point(grip.x() - 40, grip.y() - 60));
  testing::xdotool(QStringList{"mousemove"} + point(grip.x() - 100, grip.y() - 150));
  testing::xdotool({"mouseup", "1"});
  std::optional<QRect> moved;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        moved = program.character(100);
        return moved && moved->topLeft() == main->topLeft() - QPoint(100, 150);
      },
      3000));
  QTest::qWait(300);
  const std::optional<QRect> body = program.window(QStringLiteral("message"), 2000);
  const std::optional<QRect> tail = program.window(QStringLiteral("balloon"), 2000);
  ASSERT_TRUE(body && tail);
  expectBeside(*body, *moved);
  const QImage screen = grabScreen();
  expectBalloonDrawn(screen, *body, *tail, true);
  EXPECT_NE(screen.copy(*body), firstShot) << "the balloon still shows the first entry";
  expectNothingGreen(screen);

  // Dragged into the left half of the screen, she has the balloon on her
  // right, its tail at its left end.
  const QPoint grip2 = grip - QPoint(100, 150);
  testing::xdotool(QStringList{"mousemove"} + point(grip2.x(), grip2.y()));
  testing::xdotool({"mousedown", "1"});
  testing::xdotool(QStringList{"mousemove"} + point(grip2.x() - 200, grip2.y()));
  testing::xdotool(QStringList{"mousemove"} + point(grip2.x() - 500, grip2.y()));
  testing::xdotool({"mouseup", "1"});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        moved = program.character(100);
        return moved && moved->topLeft() == main->topLeft() - QPoint(600, 150);
      },
      3000));
  QTest::qWait(300);
  const std::optional<QRect> right = program.window(QStringLiteral("message"), 2000);
  const std::optional<QRect> leftTail = program.window(QStringLiteral("balloon"), 2000);
  ASSERT_TRUE(right && leftTail);
  expectBeside(*right, *moved);
  expectBalloonDrawn(grabScreen(), *right, *leftTail, false);
}


class BalloonWindowsTest : public BalloonProgramTest {};

TEST_F(BalloonWindowsTest, ATitledMessageInTheFontsOfTheScreen) {
  QtBalloonWindows windows(nullptr);
  int ticks = 0;
  windows.setTimerCallback([&] { ++ticks; });
  Balloon balloon(windows);
  balloon.setScreenWidth(1024);
  balloon.setMainWindowSize(240, 320);
  balloon.showText(convertUtf8ToShiftJis("こんにちは<br>Hello, world"),
                   convertUtf8ToShiftJis("お知らせ"), "");
  balloon.placeBeside(400, 100);
  balloon.layout(0);
  balloon.layout(1);
  QWidget& message = windows.messageWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&message));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.tailWindow()));
  const QRect body = message.geometry();
  EXPECT_EQ(body.x(), 100 + 167);
  EXPECT_EQ(body.size(), QSize(balloon.width(), balloon.height()));
  const QImage screen = grabScreen();
  expectBalloonDrawn(screen, body, windows.tailWindow().geometry(), false);
  expectNothingGreen(screen);
  EXPECT_EQ(message.windowTitle(), "message");
  EXPECT_EQ(windows.tailWindow().windowTitle(), "balloon");
  EXPECT_EQ(message.windowRole(), "messagebox");

  // 9 and 11 points at the screen's resolution, from a face that has kana.
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  const QFontInfo normal(windows.font(BalloonFont::Normal));
  const QFontInfo bold(windows.font(BalloonFont::Bold));
  EXPECT_EQ(normal.pixelSize(), std::lround(9 * dpi / 72));
  EXPECT_EQ(bold.pixelSize(), std::lround(11 * dpi / 72));
  EXPECT_FALSE(normal.bold());
  EXPECT_TRUE(bold.bold());
  EXPECT_TRUE(QFontMetrics(windows.font(BalloonFont::Normal)).inFont(QChar(0x3053)))
      << normal.family().toStdString();

  // Clicks beyond the rounded corner reach the desktop, clicks on the body
  // do not.
  testing::xdotool(QStringList{"mousemove"} + point(body.x(), body.y()));
  testing::xdotool({"click", "1"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return backdrop_.presses == 1; }, 2000));
  QTest::qWait(600);
  testing::xdotool(QStringList{"mousemove"} + point(body.center().x(), body.center().y()));
  testing::xdotool({"click", "1"});
  QTest::qWait(200);
  EXPECT_EQ(backdrop_.presses, 1);

  // The balloon timer ticks every half second from the show on.
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 3000));

  balloon.hide();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !message.isVisible(); }, 1000));
  EXPECT_FALSE(windows.tailWindow().isVisible());
}

TEST_F(BalloonWindowsTest, PerPixelAlphaUnderACompositorAShapeWithout) {
  {
    FakeCompositor compositor;
    QtBalloonWindows windows(nullptr);
    EXPECT_TRUE(windows.messageWindow().testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(windows.tailWindow().testAttribute(Qt::WA_TranslucentBackground));
  }
  QTest::qWait(50);
  QtBalloonWindows windows(nullptr);
  EXPECT_FALSE(windows.messageWindow().testAttribute(Qt::WA_TranslucentBackground));
}

TEST_F(BalloonWindowsTest, ALineWiderThanTheScreenIsCut) {
  QtBalloonWindows windows(nullptr);
  Balloon balloon(windows);
  balloon.setScreenWidth(1024);
  balloon.showEntry(std::string(20000, 'W'));
  balloon.placeBeside(400, 100);
  balloon.layout(1);
  EXPECT_GT(balloon.width(), 1024);
  EXPECT_LE(windows.messageWindow().width(), 1024);
}

}  // namespace
}  // namespace vashel
