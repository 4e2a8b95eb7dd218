// The feed vocabulary: items and their fields, joints and their key channels,
// state carried between documents, and the bounds on what a document creates.
#include "net/feed_reader.h"

#include <gtest/gtest.h>

#include "net_fakes.h"

namespace vashel {
namespace {

using testing::parseDocument;
using Floats = std::vector<float>;

class FeedReaderTest : public ::testing::Test {
 protected:
  testing::FakeTransport transport;
  FeedReader reader{transport};
  const JointNode& joint(std::size_t i) { return reader.jointAnimation().joints.at(i); }
};

TEST_F(FeedReaderTest, ItemFieldsTakeTextUntilTheNextStartTag) {
  reader.buffer() = "<rss/>";
  EXPECT_EQ(reader.parse(), 0);  // no item list before the first openInternet
  parseDocument(reader,
                "<rss><item><title>News</title>  \t<link>u</link>\tafter"
                "<description>日本\\nx</description></item></rss>");
  ASSERT_EQ(reader.items().size(), 2u);
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "News  \t");
  EXPECT_EQ(*reader.feedItemField(1, kFieldLink), "u\tafter");
  EXPECT_EQ(*reader.feedItemField(1, kFieldDescription), "\x93\xfa\x96{ \nx");  // code page 932
  EXPECT_EQ(reader.feedItemField(1, 7), nullptr);
}

TEST_F(FeedReaderTest, KeyChannelsReadTheirNumbers) {
  parseDocument(reader,
                "<animation-data start=\"1\" end=\"40.9\"><joint name=\"hip\" parent=\"root\">"
                "<translatex num=\"2\">0 1.5 10 2.5</translatex>"
                "<rotatez num=\"1\">5 0.5</rotatez>  "
                "<scalex num=\"1\">3 3</scalex><translatey num=\"2\">1 2</translatey><b>7 7</b>"
                "<translation>1 2 3</translation><jointorientation>4 5</jointorientation>"
                "</joint></animation-data>");
  EXPECT_EQ(reader.jointAnimation().end, 40);
  EXPECT_EQ(joint(0).parent, "root");
  EXPECT_EQ(joint(0).translate[0].times, (Floats{0, 10}));
  EXPECT_EQ(joint(0).translate[0].values, (Floats{1.5f, 2.5f}));
  // The spaces after </rotatez> are read under its channel and count.
  EXPECT_EQ(joint(0).rotate[2].values, (Floats{0.5f, 0}));
  // Missing numbers read as 0; <b> has no count, so its numbers add nothing.
  EXPECT_EQ(joint(0).translate[1].times, (Floats{1, 0}));
  EXPECT_TRUE(joint(0).rotate[0].times.empty());           // scale data goes nowhere
  EXPECT_EQ(joint(0).trans_, (std::array<double, 4>{1, 2, 3, 0}));
  EXPECT_EQ(joint(0).jori_, (std::array<double, 4>{0, 0, 0, 0}));  // two numbers: unchanged
}

TEST_F(FeedReaderTest, AnOpenJointAndTheKeyChannelCarryOverToTheNextDocument) {
  // </Joint> is not </joint>: the joint stays open and takes the item's text.
  parseDocument(reader, "<a><Joint name=\"open\"></Joint><item><title>lost</title></item></a>");
  parseDocument(reader, "<rss><item><title>lost too</title></item><joint name=\"b\"/></rss>");
  EXPECT_EQ(*reader.feedItemField(1, kFieldTitle), "");
  ASSERT_EQ(reader.jointAnimation().joints.size(), 1u);
  EXPECT_EQ(joint(0).name_, "b");

  parseDocument(reader, "<a><joint name=\"k\"><rotatey/></joint></a>");
  reader.clearDownloads();
  parseDocument(reader, "<joint name=\"m\" num=\"2\">1 2 3 4</joint>");
  EXPECT_EQ(joint(0).rotate[1].times, (Floats{1, 3}));
}

TEST_F(FeedReaderTest, NumbersWrittenInTheDocumentDoNotSetItsMemory) {
  std::string items;
  for (std::size_t i = 0; i < kMaxFeedItems + 10; ++i) items += "<item/>";
  parseDocument(reader, "<r>" + items + "<joint><translatex num=\"2000000000\">1 2</translatex>"
                        "</joint></r>");
  EXPECT_EQ(reader.items().size(), kMaxFeedItems);
  EXPECT_EQ(joint(0).translate[0].times.size(), kMaxDownloadedKeys);
}

// Truncations of a document using every element, read after each state an
// earlier document can leave, must parse without faults under the sanitizers
// and leave key lists of equal length.
TEST_F(FeedReaderTest, TruncatedDocumentsAfterEveryChannel) {
  const std::string document =
      "<?xml version=\"1.0\"?><r><title>C</title><item><title>ニュース</title>"
      "<pubDate>d</pubDate><animationset>s</animationset></item><animation-data end=\"9\">"
      "<joint name=\"j\"><translation>1 2 3</translation><jointorientation>4 5 6</jointorientation>"
      "<translatez num=\"3\">0 1e309 nan</translatez><rotatex num=\"1\">0 1</rotatex>"
      "<scaley num=\"1\"/></joint></animation-data><anim key=\"1\" name=\"a\"/>"
      "<animation-set randomMax=\"2\"/></r>";
  const char* const channels[] = {"x", "translatey", "rotatez", "scalex", "translation",
                                  "jointorientation"};
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (std::size_t length = 0; length <= document.size(); ++length) {
    const std::string open = length % 2 == 0 ? "Joint" : "joint";
    parseDocument(reader, "<a><" + open + "><" + channels[length % 6] + " num=\"3\"/></" + open + "></a>");
    parseDocument(reader, document.substr(0, length));
    for (const JointNode& node : reader.jointAnimation().joints) {
      for (int axis = 0; axis < 3; ++axis) {
        ASSERT_EQ(node.translate[axis].times.size(), node.translate[axis].values.size());
        ASSERT_EQ(node.rotate[axis].times.size(), node.rotate[axis].values.size());
      }
    }
    reader.dumpItems(sink);
    reader.dumpJointAnimation(sink);
    reader.clearDownloads();
  }
  std::fclose(sink);
}

}  // namespace
}  // namespace vashel
