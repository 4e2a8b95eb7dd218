// The fetch worker: results are applied on the main thread in request order,
// the feed's failure shows its box through the Ui while a drop's stays
// silent, and only drops that carry a URL text are taken.
#include "app/feed_fetcher.h"

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QThread>

#include <vector>

#include "../net/local_http_server.h"
#include "app/desktop_window.h"
#include "qt_test_app.h"

namespace vashel {
namespace {

using testing::LocalHttpServer;
using testing::httpReply;

class RecordingUi final : public Ui {
 public:
  MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon,
                           MessageBoxOptions) override {
    boxes.emplace_back(std::string(caption) + "|" + std::string(text));
    return MessageResult::Ok;
  }
  std::vector<std::string> boxes;
};

class FeedFetcherTest : public ::testing::Test {
 protected:
  FeedFetcherTest()
      : server([](const std::string& path) -> std::optional<std::string> {
          if (path == "/rss") return httpReply(200, "<rss><title>C</title><item><title>A</title></item></rss>");
          if (path == "/anim") {
            return httpReply(200,
                             "<x><animation-data end=\"12\"/><joint name=\"hip\">"
                             "<translatex num=\"1\">0 4</translatex></joint>"
                             "<anim key=\"1\" name=\"hop\" start=\"2\" end=\"8\"/>"
                             "<animation-set randomMax=\"7\" randomTime=\"1\" randomJitter=\"1\"/></x>");
          }
          return std::nullopt;  // never answers
        }) {
    testing::ensureQtApp();
    state.scene.joints.resize(1);
    state.scene.joints[0].name = "hip";
    state.player.log = nullptr;
    HttpLimits limits;
    limits.totalTimeoutMs = 500;
    fetcher = std::make_unique<FeedFetcher>(state, ui, limits);
    fetcher->applied = [this](const FetchResult&) {
      ++applied;
      appliedOnMainThread = appliedOnMainThread && QThread::currentThread() == qApp->thread();
    };
  }

  bool waitForResults(int count) {
    for (int i = 0; i < 500 && applied < count; ++i) QTest::qWait(10);
    return applied == count;
  }

  LocalHttpServer server;
  AppState state;
  RecordingUi ui;
  std::unique_ptr<FeedFetcher> fetcher;
  int applied = 0;
  bool appliedOnMainThread = true;
};

TEST_F(FeedFetcherTest, FeedResultsArriveOnTheMainThreadInOrder) {
  fetcher->fetch(server.url("/silent"), FetchKind::Feed);
  fetcher->fetch(server.url("/rss"), FetchKind::Feed);
  fetcher->fetch(server.url("/anim"), FetchKind::Feed);
  ASSERT_TRUE(waitForResults(3));
  EXPECT_TRUE(appliedOnMainThread);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0], "Vashel Error|URLが間違っているようです");
  // The last document (animation data) holds no items: only its head.
  EXPECT_EQ(fetcher->items()->itemCount(), 1u);
  EXPECT_TRUE(state.scene.joints[0].curves[TranslateX].has_value());
  EXPECT_EQ(state.scene.sceneEndFrame, 12);
  EXPECT_EQ(state.scene.actions[1].name, "hop");
  EXPECT_EQ(state.player.randomMax, 7);
}

TEST_F(FeedFetcherTest, DropIsSilentAndLeavesTheRandomValues) {
  const int randomMax = state.player.randomMax;
  fetcher->fetch(server.url("/silent"), FetchKind::Dropped);
  fetcher->fetch(server.url("/anim"), FetchKind::Dropped);
  ASSERT_TRUE(waitForResults(2));
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(state.scene.actions[1].name, "hop");
  EXPECT_EQ(state.player.randomMax, randomMax);
}

TEST_F(FeedFetcherTest, EndingWithARequestInProgressDropsItsResult) {
  fetcher->fetch(server.url("/silent"), FetchKind::Feed);
  QTest::qWait(50);
  fetcher.reset();  // cancels the request in progress
  EXPECT_EQ(applied, 0);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(DroppedUrl, TextOrALinkThatIsNoFile) {
  testing::ensureQtApp();
  QMimeData text;
  text.setText(QStringLiteral("  http://127.0.0.1/anim.xml\n"));
  EXPECT_EQ(droppedUrl(text), "http://127.0.0.1/anim.xml");

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.xml"))});
  EXPECT_EQ(droppedUrl(files), std::nullopt);

  QMimeData link;
  link.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.xml")),
                QUrl(QStringLiteral("http://127.0.0.1/b.xml"))});
  EXPECT_EQ(droppedUrl(link), "http://127.0.0.1/b.xml");

  QMimeData nothing;
  EXPECT_EQ(droppedUrl(nothing), std::nullopt);
}

TEST(DroppedUrl, TheWindowHandsADroppedUrlOnAndRefusesFiles) {
  testing::ensureQtApp();
  DesktopWindow window(QStringLiteral("drop"), DesktopWindow::Presentation::ShapeMask);
  EXPECT_TRUE(window.acceptDrops());
  std::vector<std::string> dropped;
  window.setDropCallback([&](const std::string& url) { dropped.push_back(url); });

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.xml"))});
  QDragEnterEvent fileEnter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &fileEnter);
  EXPECT_FALSE(fileEnter.isAccepted());
  QDropEvent fileDrop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &fileDrop);
  EXPECT_TRUE(dropped.empty());

  QMimeData text;
  text.setText(QStringLiteral("http://127.0.0.1/anim.xml"));
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent textDrop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &textDrop);
  EXPECT_TRUE(textDrop.isAccepted());
  EXPECT_EQ(dropped, std::vector<std::string>{"http://127.0.0.1/anim.xml"});
}

}  // namespace
}  // namespace vashel
