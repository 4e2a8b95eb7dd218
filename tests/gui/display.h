// Helpers for display tests: outside tools run while the event loop turns,
// and screenshots of the whole screen.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QtTest/QTest>

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

}  // namespace vashel::testing
