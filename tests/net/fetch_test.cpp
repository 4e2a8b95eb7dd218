// The two fetch procedures against a server on 127.0.0.1: items for the
// balloon, animation data arriving in the scene and the action table, the
// error boxes, and what the drop fetch leaves alone.
#include <gtest/gtest.h>

#include "local_http_server.h"
#include "net/feed_reader.h"
#include "net_fakes.h"
#include "platform/http_curl.h"

namespace vashel {
namespace {

using testing::httpReply;

const char kRss[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
    "<title>Channel</title>\n<item><title>One</title><description>first</description>"
    "<link>http://1/</link><pubDate>Tue, 08 Dec 2026</pubDate></item>\n"
    "<item><title>Two</title></item>\n<item><title>Three</title></item>\n</channel>\n</rss>\n";

const char kAnimation[] =
    "<vashel><animation-data start=\"0\" end=\"30\">\n"
    "<joint name=\"hip\"><translatex num=\"2\">0 1.5 30 2.5</translatex>"
    "<rotatez num=\"1\">0 1.5707964</rotatez></joint>\n"
    "<joint name=\"tail\"><translatey num=\"1\">0 9</translatey></joint>\n</animation-data>\n"
    "<anim key=\"2\" name=\"wave\" start=\"5\" end=\"25\"/><anim key=\"-1\" name=\"no\"/>\n"
    "<animation-set randomMax=\"3\" randomTime=\"4\" randomJitter=\"1\"/></vashel>\n";

class FetchTest : public ::testing::Test {
 protected:
  FetchTest() {
    reader.setDiagnostics(nullptr);
    reader.limits().totalTimeoutMs = 1000;
    scene.joints.resize(1);
    scene.joints[0].name = "hip";
    scene.actions[2].cameraName = "cam";
    player.log = log.get();
    player.randomMax = 0;
    player.randomTime = 10;
  }

  testing::LocalHttpServer server{[](const std::string& path) -> std::optional<std::string> {
    if (path == "/rss") return httpReply(200, kRss);
    if (path == "/anim") return httpReply(200, kAnimation);
    if (path == "/empty") return httpReply(200, "");
    if (path == "/one") return httpReply(200, "<rss><item><title>Only</title></item></rss>");
    if (path == "/broken") return httpReply(200, "<rss><item><title>Half</title></item>");
    if (path == "/sjis") {
      return httpReply(200, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss><item/></rss>");
    }
    if (path == "/silent") return std::nullopt;
    return httpReply(404, "<html/>");
  }};
  CurlTransport transport;
  FeedReader reader{transport};
  testing::RecordedBoxes boxes;
  testing::CapturedFile log, diagnostics;
  Scene scene;
  Player player;
  FeedItemList items;
  FetchTarget target{&scene, &player, &items, diagnostics.get()};
};

TEST_F(FetchTest, RssChannelAndThreeItemsMakeFourItemsAndASecondFetchReplacesThem) {
  fetchFeed(reader, server.url("/rss"), target, boxes);
  ASSERT_EQ(items.itemCount(), 4u);
  EXPECT_EQ(*reader.feedItemField(0, kFieldTitle), "Channel");
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "One");
  EXPECT_EQ(reader.feedItemField(4, kFieldTitle), nullptr);
  EXPECT_EQ(*reader.feedItemField(1, kFieldDate), "Tue, 08 Dec 2026");  // pubDate
  EXPECT_EQ(items.item(1)->description, "first");
  EXPECT_EQ(items.item(1)->link, "http://1/");

  fetchFeed(reader, server.url("/one"), target, boxes);
  ASSERT_EQ(items.itemCount(), 2u);
  EXPECT_EQ(items.item(1)->title, "Only");
  fetchFeed(reader, server.url("/empty"), target, boxes);
  EXPECT_EQ(items.itemCount(), 1u);  // the head alone
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(server.requests(), 3);
}

TEST_F(FetchTest, AnimationDataArrivesInTheSceneTheActionsAndThePlayer) {
  fetchFeed(reader, server.url("/anim"), target, boxes);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(scene.sceneEndFrame, 30);
  ASSERT_TRUE(scene.joints[0].curves[TranslateX].has_value());
  EXPECT_DOUBLE_EQ(evaluateCurve(*scene.joints[0].curves[TranslateX], 30), 2.5);
  EXPECT_NEAR(evaluateCurve(*scene.joints[0].curves[RotateZ], 30), 90.0, 1e-4);
  EXPECT_EQ(scene.actions[2].name, "wave");
  EXPECT_EQ(scene.actions[2].endFrame, 25);
  EXPECT_EQ(scene.actions[2].cameraName, "");
  EXPECT_EQ(log.text(),
            "キー数: 2\nキー再構築 key:2, (5, 25) obj=wave\nキー再構築 key:-1, (0, 0) obj=no\n");
  EXPECT_EQ(player.randomMax, 3);
  EXPECT_EQ(player.randomTime, 4);
  EXPECT_EQ(diagnostics.text(), "   ↑整合がとれてないよ\n");  // no joint "tail"
}

TEST_F(FetchTest, DropAppliesAnimationWithoutTheRandomValuesAndPrintsTheListings) {
  testing::CapturedFile dumps;
  fetchDropped(reader, server.url("/anim"), target, dumps.get());
  EXPECT_EQ(scene.actions[2].name, "wave");
  EXPECT_EQ(player.randomMax, 0);
  EXPECT_NE(dumps.text().find("  ANIM: \n---------------------------------------\n ---- DEBUG ---- \n"
                              "start, end = 0, 30\nSceneBase::name_ = hip\n"),
            std::string::npos);
}

TEST_F(FetchTest, DocumentFailuresShowTheDocumentBox) {
  for (const char* path : {"/sjis", "/nothing-here", "/broken"}) {
    fetchFeed(reader, server.url(path), target, boxes);
  }
  EXPECT_EQ(boxes.boxes, std::vector<std::string>(3, "Vashel Error|HTTP/XMLでエラー発生"));
  EXPECT_EQ(items.item(1)->title, "Half");  // what was read before the error stays
}

TEST_F(FetchTest, UnreachableServersShowTheUrlBoxAndTheDropNothing) {
  fetchFeed(reader, server.url("/silent"), target, boxes);
  fetchFeed(reader, testing::closedPortUrl(), target, boxes);
  testing::FakeTransport unresolvable;
  unresolvable.response.failure = HttpFailure::Resolve;
  FeedReader offline(unresolvable);
  offline.setDiagnostics(nullptr);
  fetchFeed(offline, "http://feeds.invalid/rss", target, boxes);
  EXPECT_EQ(boxes.boxes, std::vector<std::string>(3, "Vashel Error|URLが間違っているようです"));
  EXPECT_EQ(items.itemCount(), 1u);

  testing::CapturedFile dumps;
  fetchDropped(offline, "http://feeds.invalid/rss", target, dumps.get());
  fetchDropped(reader, "file:///etc/passwd", target, dumps.get());
  EXPECT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(dumps.text(), "");
  EXPECT_EQ(server.requests(), 1);  // only /silent reached the server
}

TEST_F(FetchTest, RandomMaxOfZeroLeavesTheSettings) {
  testing::FakeTransport transport0;
  transport0.response.body = "<x><animation-set randomMax=\"0\" randomTime=\"1\"/></x>";
  FeedReader local(transport0);
  fetchFeed(local, "http://127.0.0.1/", target, boxes);
  EXPECT_EQ(player.randomTime, 10);
}

}  // namespace
}  // namespace vashel
