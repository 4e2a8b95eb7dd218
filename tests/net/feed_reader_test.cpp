// The feed vocabulary: items and their fields, joints and their key channels,
// action definitions, random values, the dumps and the bounds on a document.
#include "net/feed_reader.h"

#include <gtest/gtest.h>

#include "local_http_server.h"
#include "net_fakes.h"

namespace vashel {
namespace {

using testing::CapturedFile;
using testing::FakeTransport;
using testing::parseDocument;

class FeedReaderTest : public ::testing::Test {
 protected:
  FakeTransport transport;
  FeedReader reader{transport};
};

TEST_F(FeedReaderTest, ParsesNothingWithoutAHeadOrABuffer) {
  reader.buffer() = "<rss><item><title>x</title></item></rss>";
  EXPECT_EQ(reader.parse(), 0);  // no openInternet yet: no item list
  EXPECT_EQ(reader.feedItemField(0, 1), nullptr);
  reader.openInternet();
  EXPECT_EQ(reader.parse(), 0);  // the buffer was cleared
  ASSERT_NE(reader.feedItemField(0, 1), nullptr);
  EXPECT_EQ(reader.feedItemField(1, 1), nullptr);
}

TEST_F(FeedReaderTest, TextAfterAnEndTagStillGoesToTheFieldUntilTheNextStartTag) {
  parseDocument(reader, "<rss><item><title>News</title>  \t<link>u</link>\tafter</item></rss>");
  ASSERT_EQ(reader.items().size(), 2u);
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "News  \t");
  EXPECT_EQ(*reader.feedItemField(1, kFieldLink), "u\tafter");
  EXPECT_EQ(reader.feedItemField(1, 7), nullptr);
  EXPECT_EQ(reader.feedItemField(1, -1), nullptr);
}

TEST_F(FeedReaderTest, TextsAreCodePage932WithLiteralLineBreaks) {
  parseDocument(reader, "<rss><item><description>日本\\nx</description></item></rss>");
  EXPECT_EQ(*reader.feedItemField(1, kFieldDescription), "\x93\xfa\x96{ \nx");
}

TEST_F(FeedReaderTest, TranslateKeysAreReadNumTimesPerChunk) {
  parseDocument(reader,
                "<animation-data start=\"1\" end=\"40.9\"><joint name=\"hip\" parent=\"root\">"
                "<translatex num=\"2\">0 1.5 10 2.5</translatex>"
                "<rotatez num=\"1\">5 0.5</rotatez>  "
                "<scalex num=\"1\">3 3</scalex>"
                "<translatey num=\"3\">1 2</translatey>"
                "</joint></animation-data>");
  const JointAnimation& animation = reader.jointAnimation();
  EXPECT_EQ(animation.start, 1);
  EXPECT_EQ(animation.end, 40);
  ASSERT_EQ(animation.joints.size(), 1u);
  const JointNode& hip = animation.joints[0];
  EXPECT_EQ(hip.name_, "hip");
  EXPECT_EQ(hip.parent, "root");
  EXPECT_EQ(hip.translate[0].times, (std::vector<float>{0.0f, 10.0f}));
  EXPECT_EQ(hip.translate[0].values, (std::vector<float>{1.5f, 2.5f}));
  // The run of spaces after </rotatez> is read under rotatez's channel and num.
  EXPECT_EQ(hip.rotate[2].times, (std::vector<float>{5.0f, 0.0f}));
  EXPECT_EQ(hip.rotate[2].values, (std::vector<float>{0.5f, 0.0f}));
  // Missing numbers read as 0.
  EXPECT_EQ(hip.translate[1].times, (std::vector<float>{1.0f, 0.0f, 0.0f}));
  EXPECT_EQ(hip.translate[1].values, (std::vector<float>{2.0f, 0.0f, 0.0f}));
  // Scale data goes nowhere.
  for (const DownloadedKeys& keys : hip.translate) EXPECT_LE(keys.times.size(), 3u);
  EXPECT_TRUE(hip.rotate[0].times.empty());
}

TEST_F(FeedReaderTest, TranslationAndOrientationNeedThreeNumbers) {
  parseDocument(reader,
                "<joint><translation>1 2 3</translation><jointorientation>4 5</jointorientation>"
                "</joint>");
  ASSERT_EQ(reader.jointAnimation().joints.size(), 1u);
  const JointNode& joint = reader.jointAnimation().joints[0];
  EXPECT_EQ(joint.name_, "no-name");
  EXPECT_EQ(joint.parent, "no-parent");
  EXPECT_EQ(joint.trans_, (std::array<double, 4>{1, 2, 3, 0}));
  EXPECT_EQ(joint.jori_, (std::array<double, 4>{0, 0, 0, 0}));
}

TEST_F(FeedReaderTest, AJointClosedByAnotherSpellingStaysOpenAndIsReplaced) {
  parseDocument(reader,
                "<a><Joint name=\"a\"><translatex num=\"1\">1 1</translatex></Joint>"
                "<item><title>t</title></item>"
                "<joint name=\"b\"></joint></a>");
  EXPECT_FALSE(reader.parseFailed());
  ASSERT_EQ(reader.jointAnimation().joints.size(), 1u);
  EXPECT_EQ(reader.jointAnimation().joints[0].name_, "b");
  // While the joint was open, the title's text was read as keys, not kept.
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "");
}

TEST_F(FeedReaderTest, AnimDefinitionsAndRandomValues) {
  parseDocument(reader,
                "<x><anim key=\"3\" name=\"wave\" start=\"10\" end=\"20\"/>"
                "<anim key=\"-1\" start=\"1\"/>"
                "<animation-set randomMax=\"4\" randomTime=\"2.9\" randomJitter=\"-1.5\"/></x>");
  ASSERT_EQ(reader.definitions().size(), 2u);
  EXPECT_EQ(reader.definitions()[0].key, 3);
  EXPECT_EQ(reader.definitions()[0].name, "wave");
  EXPECT_EQ(reader.definitions()[0].start, 10);
  EXPECT_EQ(reader.definitions()[0].end, 20);
  EXPECT_EQ(reader.definitions()[1].key, -1);
  EXPECT_EQ(reader.definitions()[1].name, "");
  EXPECT_EQ(reader.randomValues().randomMax, 4);
  EXPECT_EQ(reader.randomValues().randomTime, 2);
  EXPECT_EQ(reader.randomValues().randomJitter, -1);
}

TEST_F(FeedReaderTest, OpenJointAndKeyChannelCarryOverToTheNextDocument) {
  parseDocument(reader, "<a><Joint name=\"open\"></Joint></a>");
  parseDocument(reader, "<rss><item><title>lost</title></item></rss>");
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "");  // the open joint took it

  parseDocument(reader, "<a><joint name=\"k\"><rotatey num=\"2\"/></joint></a>");
  reader.clearDownloads();
  parseDocument(reader, "<joint name=\"m\" num=\"2\">1 2 3 4</joint>");
  ASSERT_EQ(reader.jointAnimation().joints.size(), 1u);
  const JointNode& joint = reader.jointAnimation().joints[0];
  EXPECT_EQ(joint.rotate[1].times, (std::vector<float>{1.0f, 3.0f}));
  EXPECT_EQ(joint.rotate[1].values, (std::vector<float>{2.0f, 4.0f}));
}

TEST_F(FeedReaderTest, ShiftJisDocumentIsReadOnceAfterTheRetry) {
  parseDocument(reader,
                "<?xml version=\"1.0\" encoding=\"shift-jis\"?><rss><item><title>\x93\xfa</title>"
                "</item></rss>");
  EXPECT_FALSE(reader.parseFailed());
  ASSERT_EQ(reader.items().size(), 2u);
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "\x93\xfa");
}

TEST_F(FeedReaderTest, DumpsHaveTheirExactFormat) {
  parseDocument(reader,
                "<r><title>C</title><item><title>T</title><description>D</description>"
                "<link>L</link><pubDate>P</pubDate><animationset>A</animationset></item>"
                "<animation-data start=\"2\" end=\"9\"/><joint name=\"j\" parent=\"p\">"
                "<translation>1 2.5 3</translation><translatez num=\"1\">4 5</translatez>"
                "<rotatex num=\"2\">1 0.5 2 0.25</rotatex></joint></r>");
  CapturedFile items;
  reader.dumpItems(items.get());
  const std::string line = "---------------------------------------\n";
  EXPECT_EQ(items.text(),
            "  TITLE: C\n  DESC:  \n  LINK:  \n  DATE:  \n  JOINT: \n  ANIM: \n" + line +
                "  TITLE: T\n  DESC:  D\n  LINK:  L\n  DATE:  P\n  JOINT: \n  ANIM: A\n" + line);
  CapturedFile joints;
  reader.dumpJointAnimation(joints.get());
  EXPECT_EQ(joints.text(),
            " ---- DEBUG ---- \n"
            "start, end = 2, 9\n"
            "SceneBase::name_ = j\n"
            " parent: p\n"
            " JointNode::trans_ = <<1 2.5 3 0>>\n"
            " JointNode::jori_ = <<0 0 0 0>>\n"
            " JointNode::Translate0 = \n"
            " JointNode::Translate1 = \n"
            " JointNode::Translate2 =  4,5 //\n"
            " JointNode::Rotate0 =  1,0.5 // 2,0.25 //\n"
            " JointNode::Rotate1 = \n"
            " JointNode::Rotate2 = \n");
}

TEST_F(FeedReaderTest, KeyCountsWrittenInTheDocumentDoNotSetItsMemory) {
  parseDocument(reader,
                "<joint name=\"j\"><translatex num=\"2000000000\">1 2</translatex></joint>");
  ASSERT_EQ(reader.jointAnimation().joints.size(), 1u);
  EXPECT_EQ(reader.jointAnimation().joints[0].translate[0].times.size(), kMaxDownloadedKeys);
}

TEST_F(FeedReaderTest, ItemCountIsBounded) {
  std::string document = "<rss>";
  for (std::size_t i = 0; i < kMaxFeedItems + 10; ++i) document += "<item/>";
  parseDocument(reader, document + "</rss>");
  EXPECT_EQ(reader.items().size(), kMaxFeedItems);
}

}  // namespace
}  // namespace vashel
