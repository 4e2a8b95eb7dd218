// The two fetch procedures end to end against a server on 127.0.0.1: items for
// the balloon, animation data arriving in the scene and the action table, the
// error boxes, and what the drop fetch leaves alone.
#include <gtest/gtest.h>

#include "local_http_server.h"
#include "net/feed_reader.h"
#include "net_fakes.h"
#include "platform/http_curl.h"

namespace vashel {
namespace {

using testing::CapturedFile;
using testing::FakeTransport;
using testing::LocalHttpServer;
using testing::RecordedBoxes;
using testing::httpReply;

const char kRss[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\">\n<channel>\n<title>Channel</title>\n<link>http://c/</link>\n"
    "<item><title>One</title><description>first</description><link>http://1/</link>"
    "<pubDate>Tue, 08 Dec 2026</pubDate></item>\n"
    "<item><title>Two</title><description>second</description></item>\n"
    "<item><title>Three</title><description>third</description></item>\n"
    "</channel>\n</rss>\n";

const char kAnimation[] =
    "<?xml version=\"1.0\"?>\n"
    "<vashel>\n<animation-data start=\"0\" end=\"30\">\n"
    "<joint name=\"hip\" parent=\"root\">"
    "<translation>1 2 3</translation><jointorientation>0 90 0</jointorientation>"
    "<translatex num=\"2\">0 1.5 30 2.5</translatex>"
    "<rotatez num=\"1\">0 1.5707964</rotatez></joint>\n"
    "<joint name=\"tail\"><translatey num=\"1\">0 9</translatey></joint>\n"
    "</animation-data>\n"
    "<anim key=\"2\" name=\"wave\" start=\"5\" end=\"25\"/>\n"
    "<anim key=\"-1\" name=\"none\" start=\"1\" end=\"2\"/>\n"
    "<animation-set randomMax=\"3\" randomTime=\"4\" randomJitter=\"1\"/>\n"
    "</vashel>\n";

// A scene with one joint, a named action and a player that logs.
struct Character {
  Scene scene;
  Player player;
  FeedItemList items;
  CapturedFile log;
  CapturedFile diagnostics;
  FetchTarget target;

  Character() {
    scene.joints.resize(1);
    scene.joints[0].name = "hip";
    scene.sceneEndFrame = 10;
    scene.actions[2].name = "old";
    scene.actions[2].cameraName = "cam";
    scene.actions[2].messages.push_back({});
    player.log = log.get();
    player.randomMax = 0;
    player.randomTime = 10;
    player.randomJitter = 5;
    target = {&scene, &player, &items, diagnostics.get()};
  }
};

class FetchTest : public ::testing::Test {
 protected:
  FetchTest()
      : server([this](const std::string& path) -> std::optional<std::string> {
          if (path == "/rss") return httpReply(200, kRss);
          if (path == "/anim") return httpReply(200, kAnimation);
          if (path == "/empty") return httpReply(200, "");
          if (path == "/sjis") {
            return httpReply(200,
                             "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
                             "<rss><item><title>\x93\xfa</title></item></rss>");
          }
          if (path == "/silent") return std::nullopt;
          if (path == "/second") return httpReply(200, "<rss><item><title>Only</title></item></rss>");
          if (path == "/broken") return httpReply(200, "<rss><item><title>Half</title></item>");
          return httpReply(404, "<html/>");
        }) {
    reader.setDiagnostics(nullptr);
    reader.limits().totalTimeoutMs = 1000;
  }

  LocalHttpServer server;
  CurlTransport transport;
  FeedReader reader{transport};
  RecordedBoxes boxes;
  Character character;
};

TEST_F(FetchTest, RssChannelAndThreeItemsMakeFourItems) {
  fetchFeed(reader, server.url("/rss"), character.target, boxes);
  EXPECT_TRUE(boxes.boxes.empty());
  ASSERT_EQ(reader.items().size(), 4u);
  EXPECT_EQ(*reader.feedItemField(0, kFieldTitle), "Channel");
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "One");
  EXPECT_EQ(reader.feedItemField(4, kFieldTitle), nullptr);
  EXPECT_EQ(*reader.feedItemField(1, kFieldDate), "Tue, 08 Dec 2026");
  // The player sees the same items.
  ASSERT_EQ(character.items.itemCount(), 4u);
  EXPECT_EQ(character.items.item(1)->title, "One");
  EXPECT_EQ(character.items.item(1)->description, "first");
  EXPECT_EQ(character.items.item(1)->link, "http://1/");
  EXPECT_EQ(character.items.item(3)->description, "third");
  EXPECT_FALSE(character.items.item(4).has_value());
}

TEST_F(FetchTest, EmptyBodyIsNoErrorAndNoItems) {
  fetchFeed(reader, server.url("/empty"), character.target, boxes);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(character.items.itemCount(), 1u);  // the head alone
  EXPECT_FALSE(character.items.item(1).has_value());
}

TEST_F(FetchTest, SecondFetchReplacesTheFirstsItems) {
  fetchFeed(reader, server.url("/rss"), character.target, boxes);
  fetchFeed(reader, server.url("/second"), character.target, boxes);
  EXPECT_EQ(server.requests(), 2);
  ASSERT_EQ(character.items.itemCount(), 2u);
  EXPECT_EQ(character.items.item(1)->title, "Only");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FetchTest, AnimationDataArrivesInTheScene) {
  fetchFeed(reader, server.url("/anim"), character.target, boxes);
  EXPECT_TRUE(boxes.boxes.empty());
  Scene& scene = character.scene;
  EXPECT_EQ(scene.sceneEndFrame, 30);
  const Joint& hip = scene.joints[0];
  ASSERT_TRUE(hip.curves[TranslateX].has_value());
  EXPECT_EQ(hip.curves[TranslateX]->keyCount(), 2u);
  EXPECT_DOUBLE_EQ(evaluateCurve(*hip.curves[TranslateX], 30), 2.5);
  EXPECT_NEAR(evaluateCurve(*hip.curves[RotateZ], 30), 90.0, 1e-4);
  // Translation and orientation were read with the joint.
  const JointNode& node = reader.jointAnimation().joints[0];
  EXPECT_EQ(node.trans_, (std::array<double, 4>{1, 2, 3, 0}));
  EXPECT_EQ(node.jori_, (std::array<double, 4>{0, 90, 0, 0}));
  // Action 2 is made afresh; the record with key -1 only prints its line.
  EXPECT_EQ(scene.actions[2].name, "wave");
  EXPECT_EQ(scene.actions[2].startFrame, 5);
  EXPECT_EQ(scene.actions[2].endFrame, 25);
  EXPECT_EQ(scene.actions[2].cameraName, "");
  EXPECT_TRUE(scene.actions[2].messages.empty());
  EXPECT_EQ(scene.actions.size(), static_cast<std::size_t>(kActionSlots));
  EXPECT_EQ(character.log.text(),
            "キー数: 2\nキー再構築 key:2, (5, 25) obj=wave\nキー再構築 key:-1, (1, 2) obj=none\n");
  EXPECT_EQ(character.player.randomMax, 3);
  EXPECT_EQ(character.player.randomTime, 4);
  EXPECT_EQ(character.player.randomJitter, 1);
  // The scene has no joint "tail".
  EXPECT_EQ(character.diagnostics.text(), "   ↑整合がとれてないよ\n");
}

TEST_F(FetchTest, DropAppliesAnimationButNeverTheRandomValuesAndPrintsBothDumps) {
  CapturedFile dumps;
  fetchDropped(reader, server.url("/anim"), character.target, dumps.get());
  EXPECT_EQ(character.scene.sceneEndFrame, 30);
  EXPECT_EQ(character.scene.actions[2].name, "wave");
  EXPECT_EQ(character.player.randomMax, 0);
  const std::string printed = dumps.text();
  EXPECT_EQ(printed.find("  TITLE: \n"), 0u);
  EXPECT_NE(printed.find(" ---- DEBUG ---- \nstart, end = 0, 30\nSceneBase::name_ = hip\n"),
            std::string::npos);
}

TEST_F(FetchTest, RandomMaxOfZeroLeavesTheSettings) {
  FakeTransport fake;
  FeedReader local(fake);
  fake.response.status = 200;
  fake.response.body = "<x><animation-set randomMax=\"0\" randomTime=\"1\" randomJitter=\"1\"/></x>";
  fetchFeed(local, "http://127.0.0.1/", character.target, boxes);
  EXPECT_EQ(character.player.randomMax, 0);
  EXPECT_EQ(character.player.randomTime, 10);
  EXPECT_EQ(character.player.randomJitter, 5);
}

TEST_F(FetchTest, ShiftJisWithAnUnderscoreIsNotReadAndShowsTheDocumentBox) {
  fetchFeed(reader, server.url("/sjis"), character.target, boxes);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].first, "Vashel Error");
  EXPECT_EQ(boxes.boxes[0].second, "HTTP/XMLでエラー発生");
  EXPECT_EQ(character.items.itemCount(), 1u);
}

TEST_F(FetchTest, ErrorStatusAndBrokenDocumentShowTheDocumentBox) {
  fetchFeed(reader, server.url("/nothing-here"), character.target, boxes);
  fetchFeed(reader, server.url("/broken"), character.target, boxes);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].second, "HTTP/XMLでエラー発生");
  EXPECT_EQ(boxes.boxes[1].second, "HTTP/XMLでエラー発生");
  // What was read before the error stays.
  ASSERT_EQ(character.items.itemCount(), 2u);
  EXPECT_EQ(character.items.item(1)->title, "Half");
}

TEST_F(FetchTest, SilentServerAndClosedPortShowTheUrlBox) {
  fetchFeed(reader, server.url("/silent"), character.target, boxes);
  const std::string closed =
      "http://127.0.0.1:" + std::to_string(testing::closedLocalPort()) + "/feed";
  fetchFeed(reader, closed, character.target, boxes);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  for (const auto& [caption, text] : boxes.boxes) {
    EXPECT_EQ(caption, "Vashel Error");
    EXPECT_EQ(text, "URLが間違っているようです");
  }
  EXPECT_EQ(character.items.itemCount(), 1u);
}

TEST_F(FetchTest, UnresolvableHostShowsTheUrlBoxOnceAndTheDropNothing) {
  FakeTransport fake;
  fake.response.failure = HttpFailure::Resolve;
  FeedReader local(fake);
  local.setDiagnostics(nullptr);
  const FetchResult result = fetchDocument(local, "http://feeds.invalid/rss", FetchKind::Feed);
  EXPECT_EQ(result.error, FetchResult::Error::Code);
  EXPECT_EQ(result.code, kHttpErrorResolve);
  fetchFeed(local, "http://feeds.invalid/rss", character.target, boxes);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].second, "URLが間違っているようです");
  EXPECT_EQ(character.items.itemCount(), 1u);
  CapturedFile dumps;
  fetchDropped(local, "http://feeds.invalid/rss", character.target, dumps.get());
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(dumps.text(), "");
}

TEST_F(FetchTest, DroppedFileUrlIsNeverRead) {
  CapturedFile dumps;
  fetchDropped(reader, "file:///etc/passwd", character.target, dumps.get());
  EXPECT_EQ(dumps.text(), "");
  EXPECT_EQ(server.requests(), 0);
  EXPECT_EQ(character.items.itemCount(), 1u);
}

}  // namespace
}  // namespace vashel
