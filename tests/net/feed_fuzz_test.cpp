// Deterministic fuzzing of the feed reader: truncated and mutated documents,
// read after earlier documents that left each key channel behind, must parse
// without faults (run under the sanitizers) and leave consistent results.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/feed_reader.h"
#include "net_fakes.h"

namespace vashel {
namespace {

const std::vector<std::string>& seeds() {
  static const std::vector<std::string> documents = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss><channel><title>C</title>\n"
      "<item><title>ニュース</title><description>a\\nb &amp; c</description>"
      "<link>http://x/</link><pubDate>d</pubDate></item></channel></rss>\n",
      "<vashel><animation-data start=\"0\" end=\"30\"><joint name=\"hip\" parent=\"r\">"
      "<translation>1 2 3</translation><jointorientation>4 5 6</jointorientation>"
      "<translatex num=\"2\">0 1 30 2</translatex><translatey num=\"1\">0 1</translatey>"
      "<translatez num=\"1\">0 1</translatez><rotatex num=\"1\">0 1</rotatex>"
      "<rotatey num=\"1\">0 1</rotatey><rotatez num=\"3\">0 1</rotatez>"
      "<scalex num=\"1\">1 1</scalex><scaley/><scalez/></joint>"
      "<Joint name=\"open\"><translatex num=\"1\">5 5</translatex></Joint></animation-data>"
      "<anim key=\"1\" name=\"a\" start=\"1\" end=\"2\"/><animationset>s</animationset>"
      "<animation-set randomMax=\"2\" randomTime=\"1e10\" randomJitter=\"-nan\"/></vashel>",
      "<?xml version=\"1.0\" encoding=\"shift-jis\"?><rss><item><title>\x93\xfa</title></item></rss>",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss/>",
      "<a><joint name=\"j\"><translatex num=\"99999\">1e309 -1e309 nan 0x10</translatex></joint>",
  };
  return documents;
}

void expectConsistent(const FeedReader& reader) {
  ASSERT_FALSE(reader.items().empty());
  ASSERT_LE(reader.items().size(), kMaxFeedItems);
  std::size_t keys = 0;
  for (const JointNode& joint : reader.jointAnimation().joints) {
    for (int axis = 0; axis < 3; ++axis) {
      ASSERT_EQ(joint.translate[axis].times.size(), joint.translate[axis].values.size());
      ASSERT_EQ(joint.rotate[axis].times.size(), joint.rotate[axis].values.size());
      keys += joint.translate[axis].times.size() + joint.rotate[axis].times.size();
    }
  }
  ASSERT_LE(keys, kMaxDownloadedKeys);
  std::FILE* sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  reader.dumpItems(sink);
  reader.dumpJointAnimation(sink);
  std::fclose(sink);
}

// Reads `document` after a document that leaves the given channel behind.
void readAfterState(const std::string& document, int state) {
  static const char* const kChannels[] = {"x",       "translatex", "rotatey",    "scalez",
                                          "rotatez", "translation", "jointorientation"};
  testing::FakeTransport transport;
  FeedReader reader(transport);
  const std::string joint = state % 2 == 0 ? "Joint" : "joint";
  testing::parseDocument(reader, "<a><" + joint + " name=\"s\"><" + kChannels[(state / 2) % 7] +
                                     " num=\"3\"/></" + joint + "></a>");
  testing::parseDocument(reader, document);
  expectConsistent(reader);
}

TEST(FeedFuzz, TruncatedDocuments) {
  for (const std::string& seed : seeds()) {
    for (std::size_t length = 0; length <= seed.size(); ++length) {
      readAfterState(seed.substr(0, length), static_cast<int>(length % 14));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(FeedFuzz, MutatedDocuments) {
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  for (int round = 0; round < 1500; ++round) {
    std::string document = seeds()[next() % seeds().size()];
    const int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits && !document.empty(); ++e) {
      const std::size_t at = next() % document.size();
      switch (next() % 3) {
        case 0: document[at] = static_cast<char>(next()); break;
        case 1: document.erase(at, 1 + next() % 8); break;
        default: document.insert(at, document.substr(next() % document.size(), 1 + next() % 16));
      }
    }
    readAfterState(document, round % 14);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace vashel
