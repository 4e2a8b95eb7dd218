// The fetch worker hands its results to the main thread in request order, the
// feed's failure shows its box while a drop's stays silent, and the window
// takes only drops that carry a URL.
#include "app/feed_fetcher.h"

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QThread>

#include "../net/local_http_server.h"
#include "app/desktop_window.h"
#include "qt_test_app.h"

namespace vashel {
namespace {

class RecordingUi final : public Ui {
 public:
  MessageResult messageBox(std::string_view, std::string_view text, MessageIcon,
                           MessageBoxOptions) override {
    boxes.emplace_back(text);
    return MessageResult::Ok;
  }
  std::vector<std::string> boxes;
};

class FeedFetcherTest : public ::testing::Test {
 protected:
  FeedFetcherTest() {
    testing::ensureQtApp();
    state.scene.joints.resize(1);
    state.scene.joints[0].name = "hip";
    state.player.log = nullptr;
    HttpLimits limits;
    limits.totalTimeoutMs = 500;
    fetcher = std::make_unique<FeedFetcher>(state, ui, limits);
    fetcher->applied = [this](const FetchResult&) {
      ++applied;
      onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
    };
  }
  void waitForResults(int count) {
    for (int i = 0; i < 500 && applied < count; ++i) QTest::qWait(10);
    ASSERT_EQ(applied, count);
    EXPECT_TRUE(onMainThread);
  }

  testing::LocalHttpServer server{[](const std::string& path) -> std::optional<std::string> {
    if (path != "/anim") return std::nullopt;  // never answers
    return testing::httpReply(200,
                              "<x><item/><animation-data end=\"12\"/><joint name=\"hip\"/>"
                              "<anim key=\"1\" name=\"hop\"/><animation-set randomMax=\"7\"/></x>");
  }};
  AppState state;
  RecordingUi ui;
  std::unique_ptr<FeedFetcher> fetcher;
  int applied = 0;
  bool onMainThread = true;
};

TEST_F(FeedFetcherTest, ResultsArriveOnTheMainThreadInOrder) {
  fetcher->fetch(server.url("/silent"), FetchKind::Feed);
  fetcher->fetch(server.url("/anim"), FetchKind::Feed);
  waitForResults(2);
  EXPECT_EQ(ui.boxes, std::vector<std::string>{"URLが間違っているようです"});
  EXPECT_EQ(fetcher->items()->itemCount(), 2u);
  EXPECT_EQ(state.scene.sceneEndFrame, 12);
  EXPECT_EQ(state.scene.actions[1].name, "hop");
  EXPECT_EQ(state.player.randomMax, 7);

  // A drop shows no box and leaves the random values.
  state.player.randomMax = 0;
  fetcher->fetch(server.url("/silent"), FetchKind::Dropped);
  fetcher->fetch(server.url("/anim"), FetchKind::Dropped);
  waitForResults(4);
  EXPECT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(state.player.randomMax, 0);
}

TEST_F(FeedFetcherTest, EndingWithARequestInProgressDropsItsResult) {
  fetcher->fetch(server.url("/silent"), FetchKind::Feed);
  QTest::qWait(50);
  fetcher.reset();
  QTest::qWait(10);
  EXPECT_EQ(applied, 0);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(DropTarget, TheWindowTakesALinkOrTextAndRefusesFiles) {
  testing::ensureQtApp();
  QMimeData files, link, text;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.xml"))});
  link.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.xml")), QUrl(QStringLiteral("http://h/b"))});
  text.setText(QStringLiteral("  http://127.0.0.1/anim.xml\n"));
  EXPECT_EQ(droppedUrl(files), std::nullopt);
  EXPECT_EQ(droppedUrl(link), "http://h/b");

  DesktopWindow window(QStringLiteral("drop"), DesktopWindow::Presentation::ShapeMask);
  std::vector<std::string> dropped;
  window.setDropCallback([&](const std::string& url) { dropped.push_back(url); });
  for (QMimeData* data : {&files, &text}) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_EQ(enter.isAccepted(), data == &text);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
  }
  EXPECT_EQ(dropped, std::vector<std::string>{"http://127.0.0.1/anim.xml"});
}

}  // namespace
}  // namespace vashel
