// The two-pass read with handlers other than the element tree's: what they are
// given on each pass, when they restart, what the buffer becomes and how the
// failures are printed; and the text rules the readers share.
#include "xml/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vashel {
namespace {

// Logs every event as one line, names and texts exactly as handed over.
class Recorder final : public XmlHandlers {
 public:
  std::vector<std::string> events;

  void startElement(const char* name, const char* const* attributes) override {
    std::string line = std::string("<") + name;
    for (const char* const* pair = attributes; pair[0] != nullptr; pair += 2) {
      line += std::string(" ") + pair[0] + "=" + pair[1];
    }
    events.push_back(line);
  }
  void endElement(const char* name) override { events.push_back(std::string("/") + name); }
  void characterData(std::string_view chunk) override {
    events.push_back("'" + std::string(chunk) + "'");
  }
  void restart() override { events.push_back("restart"); }
};

struct TwoPasses {
  std::string bytes;
  Recorder recorder;
  XmlParseOutcome outcome;
  std::string errors;

  TwoPasses(std::string document, XmlFirstFailure style) : bytes(std::move(document)) {
    testing::internal::CaptureStderr();
    outcome = parseXmlWithEncodingRetry(bytes, recorder, style);
    errors = testing::internal::GetCapturedStderr();
  }
};

using Events = std::vector<std::string>;

TEST(XmlTwoPassRead, HandlersGetNamesAttributesAndChunksAsDelivered) {
  TwoPasses run("<Feed Version=\"2&amp;3\">\n<Item>日本</Item></Feed>", XmlFirstFailure::Plain);
  EXPECT_EQ(run.recorder.events, (Events{"<Feed Version=2&3", "'\n'", "<Item", "'日本'", "/Item",
                                         "/Feed"}));
  EXPECT_FALSE(run.outcome.firstPass);
  EXPECT_TRUE(run.errors.empty());
}

TEST(XmlTwoPassRead, EncodingFailureRestartsTheHandlersOnTheConvertedBytes) {
  // Undeclared code page 932: the first pass gets as far as the first byte
  // that is not UTF-8, then everything is handed over again after a restart.
  TwoPasses run("<a><b/><c>\x93\xfa</c></a>", XmlFirstFailure::Plain);
  EXPECT_EQ(run.recorder.events, (Events{"<a", "<b", "/b", "<c", "restart", "<a", "<b", "/b", "<c",
                                         "'日'", "/c", "/a"}));
  EXPECT_EQ(run.bytes, "<a><b/><c>日</c></a>");
  EXPECT_EQ(run.outcome.retryCodePage, 0);
  EXPECT_FALSE(run.outcome.secondPass);
  EXPECT_EQ(run.errors, "Parse error at line 1:\n(4)not well-formed (invalid token)\n");
}

TEST(XmlTwoPassRead, FailuresArePrintedInTheCallersStyle) {
  const std::string unknownName = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>";
  TwoPasses indented(unknownName, XmlFirstFailure::Indented);
  EXPECT_EQ(indented.errors,
            "  *** Parse error at line 1:\n   (18)unknown encoding\n"
            "Parse error at line 1:\n(3)no element found\n");
  TwoPasses plain(unknownName, XmlFirstFailure::Plain);
  EXPECT_EQ(plain.errors,
            "Parse error at line 1:\n(18)unknown encoding\n"
            "Parse error at line 1:\n(3)no element found\n");
  EXPECT_EQ(plain.outcome.retryCodePage, -1);
  EXPECT_TRUE(plain.bytes.empty());
  EXPECT_EQ(plain.recorder.events, Events{"restart"});
}

TEST(XmlTwoPassRead, OtherFailuresKeepTheFirstPassAndTheBytes) {
  const std::string document = "<a><b>x &amp; y & z</b></a>";
  TwoPasses run(document, XmlFirstFailure::Plain);
  EXPECT_EQ(run.recorder.events, (Events{"<a", "<b", "'x '", "'&'", "' y '"}));
  ASSERT_TRUE(run.outcome.firstPass);
  EXPECT_FALSE(run.outcome.retryCodePage);
  EXPECT_EQ(run.bytes, document);
  EXPECT_EQ(run.errors, "Parse error at line 1:\n(4)not well-formed (invalid token)\n");
}

TEST(XmlTextRules, NamesFoldAsciiOnlyAndStopAt255Bytes) {
  EXPECT_EQ(foldElementName("PubDate"), "pubdate");
  EXPECT_EQ(foldElementName("ÄÉ-X_1"), "ÄÉ-x_1");
  EXPECT_EQ(foldElementName(std::string(300, 'Q').c_str()), std::string(255, 'q'));
}

TEST(XmlTextRules, ChunksBecomeCodePage932WithLineBreaks) {
  EXPECT_FALSE(characterDataText("\n"));
  EXPECT_FALSE(characterDataText(" "));
  EXPECT_EQ(characterDataText("\t"), "\t");
  EXPECT_EQ(characterDataText("  "), "  ");
  EXPECT_EQ(characterDataText("日\\nb"), "\x93\xfa \nb");
  // "ソ" ends in 0x5C, which must not pair with the n after it.
  EXPECT_EQ(characterDataText("ソn"), "\x83\x5cn");
}

}  // namespace
}  // namespace vashel
