// The element tree reader: name folding, text conversion and chunk rules, the
// encoding retry with its diagnostics, lookups and the dump listing.
#include "xml/xml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace vashel {
namespace {

constexpr int kUnknownEncoding = 18;  // XML_ERROR_UNKNOWN_ENCODING
constexpr int kNoElements = 3;        // XML_ERROR_NO_ELEMENTS
constexpr int kInvalidToken = 4;      // XML_ERROR_INVALID_TOKEN
constexpr int kTagMismatch = 7;       // XML_ERROR_TAG_MISMATCH

struct FromFile {
  const char* name;  // in the test data folder
};

// Parses a document held in memory or loaded from a file; stderr is captured
// so that tests can check the diagnostics.
struct Parsed {
  XmlDocument document;
  XmlElement root;
  int result = -1;
  std::string errors;

  explicit Parsed(const std::string& bytes) {
    document.buffer() = bytes;
    run();
  }
  explicit Parsed(FromFile file) {
    document.clearBuffer();
    EXPECT_TRUE(document.loadFile(std::string(VASHEL_TEST_DATA) + "/" + file.name));
    run();
  }
  void run() {
    testing::internal::CaptureStderr();
    result = document.parse(&root);
    errors = testing::internal::GetCapturedStderr();
  }
  const XmlElement& at(std::initializer_list<std::size_t> path) const {
    const XmlElement* element = &root;
    for (std::size_t index : path) {
      element = element->child(index);
      if (element == nullptr) throw std::out_of_range("no such child");
    }
    return *element;
  }
};

TEST(XmlReader, FoldsElementNamesButKeepsAttributeNamesAndValues) {
  Parsed p("<Vashel><SEQUENCE Name=\"Wave&amp;Nod\" pick=\"Head\"/></Vashel>");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.root.name(), "root tag");
  ASSERT_EQ(p.root.childCount(), 1u);
  const XmlElement& vashel = p.at({0});
  EXPECT_EQ(vashel.name(), "vashel");
  EXPECT_EQ(vashel.parent(), &p.root);
  const XmlElement& sequence = p.at({0, 0});
  EXPECT_EQ(sequence.name(), "sequence");
  EXPECT_EQ(sequence.parent(), &vashel);
  EXPECT_EQ(sequence.getAttribute("name"), nullptr);
  ASSERT_NE(sequence.getAttribute("Name"), nullptr);
  EXPECT_EQ(*sequence.getAttribute("Name"), "Wave&Nod");  // entity resolved
  EXPECT_EQ(*sequence.getAttribute("pick"), "Head");
  EXPECT_TRUE(p.errors.empty()) << p.errors;
}

TEST(XmlReader, LongNamesAreCutTo255Bytes) {
  const std::string name(300, 'N');
  Parsed p("<" + name + " a=\"1\">t</" + name + ">");
  ASSERT_EQ(p.root.childCount(), 1u);
  EXPECT_EQ(p.at({0}).name(), std::string(255, 'n'));
  EXPECT_EQ(p.at({0}).text(), "t");
  EXPECT_TRUE(p.errors.empty());
}

TEST(XmlReader, Utf8TextIsStoredInCodePage932) {
  Parsed p("<m a=\"日本\">日本語 abc</m>");
  const XmlElement& m = p.at({0});
  EXPECT_EQ(m.text(), "\x93\xfa\x96{\x8c\xea abc");
  EXPECT_EQ(*m.getAttribute("a"), "日本");  // attributes stay UTF-8
  // The terminal listing converts the text only.
  EXPECT_EQ(p.root.dumpText(XmlElement::DumpTexts::Utf8),
            "[root tag]\n[m]\n  a = 日本\n" + std::string(39, '-') + "\n日本語 abc\n" +
                std::string(39, '-') + "\n");
}

TEST(XmlReader, LiteralBackslashNBecomesSpaceAndLineBreak) {
  // "ソ" is 0x83 0x5C in code page 932: its second byte is a backslash, and
  // must not pair with the following letter n.
  Parsed p("<r><a>a\\nb</a><b>\\\\n</b><c>ソn表\\n</c></r>");
  EXPECT_EQ(p.at({0, 0}).text(), "a \nb");
  EXPECT_EQ(p.at({0, 1}).text(), "\\ \n");
  EXPECT_EQ(p.at({0, 2}).text(), "\x83\x5cn\x95\x5c \n");
}

TEST(XmlReader, LoneNewlineAndSpaceChunksAreDropped) {
  Parsed p("<a>\n  <b>x</b>\n    <c> </c><d>\t</d><e>&#10;</e><f>  </f>\n</a>");
  const XmlElement& a = p.at({0});
  EXPECT_EQ(a.text(), "      ");  // the two indentation runs, newlines dropped
  EXPECT_EQ(p.at({0, 0}).text(), "x");
  EXPECT_EQ(p.at({0, 1}).text(), "");    // a single space
  EXPECT_EQ(p.at({0, 2}).text(), "\t");  // a single tab stays
  EXPECT_EQ(p.at({0, 3}).text(), "");    // a newline written as a reference is a chunk too
  EXPECT_EQ(p.at({0, 4}).text(), "  ");
}

TEST(XmlReader, EmptyBufferOrNoRootParsesNothing) {
  XmlDocument document;
  XmlElement root;
  EXPECT_EQ(document.parse(&root), 0);
  EXPECT_EQ(root.name(), "");  // not even renamed
  document.buffer() = "<a/>";
  EXPECT_EQ(document.parse(nullptr), 0);
  EXPECT_EQ(document.parse(&root), 1);
  EXPECT_EQ(root.childCount(), 1u);
}

TEST(XmlReader, ShiftJisAndEucJpDeclarationsAreReadOnTheSecondPass) {
  const std::string storedText = "\x93\xfa\x96{\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67";
  for (auto [file, codePage] : {std::pair{"xml_shift_jis.xml", 932}, {"xml_euc_jp.xml", 51932}}) {
    SCOPED_TRACE(file);
    Parsed p(FromFile{file});
    EXPECT_EQ(p.result, 1);
    ASSERT_TRUE(p.document.lastOutcome().firstPass);
    EXPECT_EQ(p.document.lastOutcome().firstPass->code, kUnknownEncoding);
    EXPECT_EQ(p.document.lastOutcome().retryCodePage, codePage);
    EXPECT_FALSE(p.document.lastOutcome().secondPass);
    EXPECT_EQ(p.errors, "  *** Parse error at line 1:\n   (18)unknown encoding\n");
    ASSERT_NE(p.root.findElement("m"), nullptr);
    EXPECT_EQ(p.root.findElement("m")->text(), storedText);
    // The buffer keeps the converted document.
    EXPECT_NE(p.document.buffer().find("日本語のテキスト"), std::string::npos);
  }
}

TEST(XmlReader, RegisteredShiftJisNameEndsWithAnEmptyBuffer) {
  Parsed p(FromFile{"xml_shift_jis_underscore.xml"});
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.document.lastOutcome().retryCodePage, -1);
  ASSERT_TRUE(p.document.lastOutcome().secondPass);
  EXPECT_EQ(p.document.lastOutcome().secondPass->code, kNoElements);
  EXPECT_TRUE(p.document.buffer().empty());
  EXPECT_EQ(p.errors,
            "  *** Parse error at line 1:\n   (18)unknown encoding\n"
            "Parse error at line 1:\n(3)no element found\n");
  EXPECT_EQ(p.root.childCount(), 0u);
  EXPECT_EQ(p.root.name(), "root tag");
}

TEST(XmlReader, UndeclaredLocalCodePageIsReadWholeOnTheSecondPass) {
  // The first pass builds vashel, sequence and m before it meets the first
  // code page 932 byte; the retry must not add a second copy of them.
  Parsed p(FromFile{"xml_local_codepage.xml"});
  ASSERT_TRUE(p.document.lastOutcome().firstPass);
  EXPECT_EQ(p.document.lastOutcome().firstPass->code, kInvalidToken);
  EXPECT_EQ(p.document.lastOutcome().firstPass->line, 3);
  EXPECT_EQ(p.document.lastOutcome().retryCodePage, 0);
  EXPECT_FALSE(p.document.lastOutcome().secondPass);
  ASSERT_EQ(p.root.childCount(), 1u);
  ASSERT_EQ(p.at({0}).childCount(), 1u);
  ASSERT_EQ(p.at({0, 0}).childCount(), 1u);
  EXPECT_EQ(p.at({0, 0, 0}).text(), "\x93\xfa\x96{\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67");
}

TEST(XmlReader, MalformedDocumentKeepsWhatWasBuiltOnce) {
  Parsed p("<vashel>\n<sequence name=\"a\"><m>hi</m><m>open\n</vashel>");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.document.lastOutcome().firstPass->code, kTagMismatch);
  EXPECT_FALSE(p.document.lastOutcome().retryCodePage);
  EXPECT_FALSE(p.document.lastOutcome().secondPass);
  EXPECT_EQ(p.errors, "  *** Parse error at line 3:\n   (7)mismatched tag\n");
  ASSERT_EQ(p.root.childCount(), 1u);
  const XmlElement& sequence = p.at({0, 0});
  ASSERT_EQ(sequence.childCount(), 2u);
  EXPECT_EQ(sequence.child(0)->text(), "hi");
  EXPECT_EQ(sequence.child(1)->text(), "open");
}

// A UTF-8 message file with one late mistake is not read again as code page
// 932: its texts keep their characters and nothing is built twice.
TEST(XmlReader, LateMistakesInUtf8KeepTheFirstPass) {
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vashel>\n"
      "<sequence name=\"挨拶\" pick=\"頭\"><m>こんにちは</m><m>日本語";
  const std::string hello = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd";
  const std::string japanese = "\x93\xfa\x96{\x8c\xea";
  struct Case {
    const char* what;
    std::string tail;
    int code;
    std::size_t messages;  // m elements built before the mistake
  };
  for (const Case& c : {
           Case{"stray ampersand", "</m>\n<m>A & B</m></sequence></vashel>\n", kInvalidToken, 3},
           Case{"missing end tag", "\n</sequence></vashel>\n", kTagMismatch, 2},
           Case{"unclosed at the end", "</m>\n", kNoElements, 2},
           // One code page 932 byte pasted into text that is UTF-8 so far.
           Case{"stray non-UTF-8 byte", "\x82</m></sequence></vashel>\n", kInvalidToken, 2},
       }) {
    SCOPED_TRACE(c.what);
    Parsed p(head + c.tail);
    EXPECT_EQ(p.result, 1);
    ASSERT_TRUE(p.document.lastOutcome().firstPass);
    EXPECT_EQ(p.document.lastOutcome().firstPass->code, c.code);
    EXPECT_FALSE(p.document.lastOutcome().retryCodePage);
    EXPECT_FALSE(p.document.lastOutcome().secondPass);
    EXPECT_EQ(std::count(p.errors.begin(), p.errors.end(), '\n'), 2) << p.errors;  // printed once
    EXPECT_EQ(p.document.buffer(), head + c.tail);  // not converted
    ASSERT_EQ(p.root.childCount(), 1u);
    const XmlElement* sequence = p.root.findElement("sequence");
    ASSERT_NE(sequence, nullptr);
    EXPECT_EQ(*sequence->getAttribute("pick"), "頭");
    ASSERT_EQ(sequence->childCount(), c.messages);
    EXPECT_EQ(sequence->child(0)->text(), hello);
    EXPECT_EQ(sequence->child(1)->text(), japanese);
  }
}

// What still counts as a failure on the encoding: the declared encoding is
// refused, or the first non-ASCII byte is not UTF-8.
TEST(XmlReader, EncodingFailuresStillGetTheRetry) {
  const std::string sjisText = "\x93\xfa\x96{\x8c\xea";
  {
    SCOPED_TRACE("undeclared code page 932 with a later stray ampersand");
    Parsed p("<vashel><m>" + sjisText + "</m><m>A & B</m></vashel>");
    EXPECT_EQ(p.document.lastOutcome().firstPass->code, kInvalidToken);
    EXPECT_EQ(p.document.lastOutcome().retryCodePage, 0);
    ASSERT_TRUE(p.document.lastOutcome().secondPass);  // the ampersand, on the second pass
    EXPECT_EQ(p.document.lastOutcome().secondPass->code, kInvalidToken);
    ASSERT_EQ(p.at({0}).childCount(), 2u);
    EXPECT_EQ(p.at({0, 0}).text(), sjisText);
  }
  {
    SCOPED_TRACE("code page 932 in an attribute value");
    Parsed p("<vashel><sequence pick=\"" + sjisText + "\"/></vashel>");
    EXPECT_EQ(p.document.lastOutcome().retryCodePage, 0);
    EXPECT_FALSE(p.document.lastOutcome().secondPass);
    EXPECT_EQ(*p.at({0, 0}).getAttribute("pick"), "日本語");
  }
  {
    SCOPED_TRACE("a declared encoding that does not match the bytes");
    Parsed p("<?xml version=\"1.0\" encoding=\"UTF-16\"?><m>" + sjisText + "</m>");
    EXPECT_EQ(p.document.lastOutcome().firstPass->code, 19);  // XML_ERROR_INCORRECT_ENCODING
    EXPECT_EQ(p.document.lastOutcome().retryCodePage, 0);
    EXPECT_FALSE(p.document.lastOutcome().secondPass);
    EXPECT_EQ(p.at({0}).text(), sjisText);
  }
}

TEST(XmlReader, ReparsingIntoARootAppendsAndKeepsEarlierChildren) {
  XmlDocument document;
  XmlElement root;
  document.buffer() = "<a/>";
  ASSERT_EQ(document.parse(&root), 1);
  // A malformed second document must not drop what the first parse built.
  document.buffer() = "<b><c></b>";
  testing::internal::CaptureStderr();
  ASSERT_EQ(document.parse(&root), 1);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(root.childCount(), 2u);
  EXPECT_EQ(root.child(0)->name(), "a");
  EXPECT_EQ(root.child(1)->name(), "b");
  EXPECT_EQ(root.child(1)->childCount(), 1u);
}

TEST(XmlTree, FindElementSearchesPreOrderFromItself) {
  Parsed p("<top><x><vashel id=\"1\"/></x><vashel id=\"2\"><vashel id=\"3\"/></vashel></top>");
  EXPECT_EQ(p.root.findElement("root tag"), &p.root);
  const XmlElement* first = p.root.findElement("vashel");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*first->getAttribute("id"), "1");
  XmlElement* second = p.root.child(0)->child(1);
  EXPECT_EQ(*second->findElement("vashel")->getAttribute("id"), "2");
  EXPECT_EQ(p.root.findElement("Vashel"), nullptr);  // exact bytes
  EXPECT_EQ(p.root.findElement("missing"), nullptr);
  EXPECT_EQ(p.root.findElement(std::string_view()), nullptr);

  XmlElement element;
  element.addAttribute("frame", "25");
  element.addAttribute("Frame", "30");
  element.addAttribute("frame", "40");
  EXPECT_EQ(*element.getAttribute("frame"), "25");
  EXPECT_EQ(*element.getAttribute("Frame"), "30");
  EXPECT_EQ(element.getAttribute("FRAME"), nullptr);
}

TEST(XmlTree, DumpListsNamesAttributesAndTextsInOrder) {
  Parsed p("<a k=\"v\" l=\"w\"><b>日本</b><c/></a>");
  const std::string dashes(39, '-');
  const std::string expected = "[root tag]\n[a]\n  k = v\n  l = w\n[b]\n" + dashes +
                               "\n\x93\xfa\x96{\n" + dashes + "\n[c]\n";
  EXPECT_EQ(p.root.dumpText(), expected);
  testing::internal::CaptureStdout();
  p.root.dump(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
}

TEST(XmlReader, HandWrittenMessageFileLoads) {
  Parsed p(FromFile{"xml_message.xml"});
  EXPECT_TRUE(p.errors.empty()) << p.errors;
  const XmlElement* vashel = p.root.findElement("vashel");
  ASSERT_NE(vashel, nullptr);
  ASSERT_EQ(vashel->childCount(), 2u);
  const XmlElement* wave = vashel->child(0);
  EXPECT_EQ(*wave->getAttribute("pick"), "Hand");
  ASSERT_EQ(wave->childCount(), 3u);
  EXPECT_EQ(wave->child(1)->name(), "random");
  EXPECT_EQ(wave->child(1)->childCount(), 3u);
  EXPECT_EQ(wave->child(2)->text(), "Bye & see you");
  // "！" then the literal \n, stored in code page 932.
  EXPECT_EQ(wave->child(0)->text().substr(10, 4), "\x81\x49 \n");
}

}  // namespace
}  // namespace vashel
