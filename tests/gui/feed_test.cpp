// The program with a feed on a server of the test's own: the start-up fetch
// applies its action definitions, and a URL dragged from another window onto
// the character is fetched and applied while the character keeps running.
#include <gtest/gtest.h>

#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include "gui/display.h"
#include "net/local_http_server.h"

namespace vashel {
namespace {

// A small window that starts a drag of a URL text when pressed.
class DragSource final : public QWidget {
 public:
  explicit DragSource(QString url) : QWidget(nullptr, Qt::FramelessWindowHint), url_(std::move(url)) {
    setGeometry(0, 0, 60, 60);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(url_);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
  }

 private:
  QString url_;
};

class FeedProgramTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }

  // Starts the sample character with the feed URL added to its scene.
  void start(const std::string& feedUrl) {
    const QString plain = dir_.filePath("scene.gl");
    const testing::ToolRun descrambled =
        testing::runTool(QStringLiteral(VASHEL_BIN_DIR "/glj"),
                         {"descramble", VASHEL_SAMPLE_DIR "/data.glj", plain});
    ASSERT_EQ(descrambled.exitCode, 0);
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(("rss: " + feedUrl + "\n").c_str());
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QStringLiteral(VASHEL_SAMPLE_DIR));
    process_.start(QStringLiteral(VASHEL_BIN_DIR "/vashel"), {plain});
    ASSERT_TRUE(process_.waitForStarted(5000));
  }

  bool waitForOutput(const QByteArray& text, int timeoutMs = 15000) {
    return QTest::qWaitFor(
        [&] {
          out_ += process_.readAllStandardOutput();
          return out_.contains(text) || process_.state() == QProcess::NotRunning;
        },
        timeoutMs) &&
           out_.contains(text);
  }

  QTemporaryDir dir_;
  QProcess process_;
  QByteArray out_;
};

TEST_F(FeedProgramTest, StartUpFetchAndADroppedUrlRedefineActions) {
  testing::LocalHttpServer server([](const std::string& path) -> std::optional<std::string> {
    if (path == "/feed.xml") {
      return testing::httpReply(200, "<rss><item><title>t</title><description>d</description></item>"
                                     "<anim key=\"7\" name=\"fromfeed\" start=\"1\" end=\"2\"/></rss>");
    }
    return testing::httpReply(200, "<x><anim key=\"8\" name=\"dropped\" start=\"1\" end=\"2\"/></x>");
  });
  ASSERT_NO_FATAL_FAILURE(start(server.url("/feed.xml")));
  ASSERT_TRUE(waitForOutput("キー再構築 key:7, (1, 2) obj=fromfeed\n")) << out_.toStdString();

  const QString windows = QString::fromUtf8(
      testing::runTool(QStringLiteral("xdotool"),
                       {"search", "--onlyvisible", "--pid", QString::number(process_.processId()),
                        "--name", "^Vashel$"})
          .out).trimmed();
  ASSERT_FALSE(windows.isEmpty());
  const QString geometry = QString::fromUtf8(
      testing::runTool(QStringLiteral("xdotool"),
                       {"getwindowgeometry", "--shell", windows.split('\n').first()})
          .out);
  int x = 0, y = 0, width = 0, height = 0;
  for (const QString& line : geometry.split('\n')) {
    const QStringList parts = line.split('=');
    if (parts.size() != 2) continue;
    if (parts[0] == "X") x = parts[1].toInt();
    if (parts[0] == "Y") y = parts[1].toInt();
    if (parts[0] == "WIDTH") width = parts[1].toInt();
    if (parts[0] == "HEIGHT") height = parts[1].toInt();
  }
  ASSERT_GT(width, 0);

  DragSource source(QString::fromStdString(server.url("/drop.xml")));
  source.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&source));
  // The pointer carries the drag from the source to the character's middle;
  // the source's event loop runs the drag meanwhile.
  const QString cx = QString::number(x + width / 2), cy = QString::number(y + height / 2);
  QProcess pointer;
  pointer.start(QStringLiteral("xdotool"),
                {"mousemove", "30", "30", "mousedown", "1", "sleep", "0.3", "mousemove", "50", "50",
                 "sleep", "0.3", "mousemove", cx, cy, "sleep", "0.3", "mousemove",
                 QString::number(x + width / 2 + 3), cy, "sleep", "0.5", "mouseup", "1"});
  ASSERT_TRUE(pointer.waitForStarted(5000));
  EXPECT_TRUE(waitForOutput("キー再構築 key:8, (1, 2) obj=dropped\n")) << out_.toStdString();
  pointer.waitForFinished(5000);
}

}  // namespace
}  // namespace vashel
