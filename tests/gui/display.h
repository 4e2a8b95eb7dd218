// Helpers for display tests: outside tools run while the event loop turns,
// and screenshots of the whole screen.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <QtTest/QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace vashel::testing {

struct ToolRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

// Runs a program to its end while this process keeps serving its windows.
inline ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 15000) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForStarted(5000)) {
    ADD_FAILURE() << "cannot start " << program.toStdString();
    return {};
  }
  if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
    process.kill();
    process.waitForFinished(2000);
    ADD_FAILURE() << program.toStdString() << " did not end";
  }
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

inline void xdotool(const QStringList& args) {
  const ToolRun run = runTool(QStringLiteral("xdotool"), args);
  EXPECT_EQ(run.exitCode, 0) << "xdotool " << args.join(' ').toStdString() << ": "
                             << run.err.toStdString();
  QTest::qWait(50);  // let the events arrive
}

// The root window as the X server shows it, taken by ImageMagick.
inline QImage grabScreen() {
  QTest::qWait(150);  // paints and shape changes reach the server first
  const ToolRun run =
      runTool(QStringLiteral("import"), {"-window", "root", "-depth", "8", "png:-"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  QImage image = QImage::fromData(run.out, "PNG");
  EXPECT_FALSE(image.isNull()) << "no screenshot";
  return image.convertToFormat(QImage::Format_RGB32);
}

// Whether two colours match to within a small step per channel.
inline bool sameColour(QRgb a, QRgb b, int tolerance = 2) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Appended piece by piece: GCC 12 at -O3 takes `"(" + std::to_string(...)`
// for an overlapping copy (-Werror=restrict, a false positive).
inline std::string describe(QRgb c) {
  return std::string("(")
      .append(std::to_string(qRed(c)))
      .append(",")
      .append(std::to_string(qGreen(c)))
      .append(",")
      .append(std::to_string(qBlue(c)))
      .append(")");
}

constexpr QRgb kDesktop = 0xff2040c0;  // the backdrop's blue

// A full-screen window standing for the desktop: it shows wherever the
// windows under test are see-through and counts the clicks that reach it.
class Backdrop final : public QWidget {
 public:
  Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint) { setGeometry(0, 0, 1024, 768); }
  int presses = 0;

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kDesktop)); }
  void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// Takes the compositing manager's selection, as a compositor would.
class FakeCompositor {
 public:
  FakeCompositor() {
    connection_ = xcb_connect(nullptr, &screenNumber_);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber_; ++i) xcb_screen_next(&it);
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber_);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr);
    xcb_set_selection_owner(connection_, window, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }
  ~FakeCompositor() { xcb_disconnect(connection_); }  // the selection goes with it
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;

 private:
  xcb_connection_t* connection_ = nullptr;
  int screenNumber_ = 0;
};

}  // namespace vashel::testing
