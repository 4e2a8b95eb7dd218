// Deterministic fuzzing of the reader: truncated and mutated documents must
// parse without faults (run under the sanitizers) and leave a well-formed tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "xml/xml.h"

namespace vashel {
namespace {

const std::vector<std::string>& seeds() {
  static const std::vector<std::string> documents = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Vashel>\n  <sequence name=\"wave\" "
      "pick=\"Hand\" start=\"1\" end=\"3\">\n    <m frame=\"25\">こんにちは\\nHH:MM</m>\n"
      "    <random><m>a</m><m>b &amp; c</m></random>\n  </sequence>\n</Vashel>\n",
      "<?xml version=\"1.0\" encoding=\"shift-jis\"?>\n<a>\n  <b x=\"1\">\x93\xfa\x96{</b>\n</a>\n",
      "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><a><b>\xc6\xfc\xcb\xdc</b></a>",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>",
      "<a><b>\x83\x5cn\x81\x48H</b><![CDATA[<x>]]><!-- c --><?pi x?></a>",
  };
  return documents;
}

// Checks what every parse must leave: parent links that match the tree,
// folded names of at most 255 bytes, the root renamed.
void expectWellFormedTree(const XmlElement& root) {
  ASSERT_EQ(root.name(), "root tag");
  std::vector<const XmlElement*> pending{&root};
  while (!pending.empty()) {
    const XmlElement* element = pending.back();
    pending.pop_back();
    ASSERT_LE(element->name().size(), 255u);
    for (char c : element->name()) ASSERT_FALSE(c >= 'A' && c <= 'Z') << element->name();
    for (std::size_t i = 0; i < element->childCount(); ++i) {
      ASSERT_EQ(element->child(i)->parent(), element);
      pending.push_back(element->child(i));
    }
  }
}

void parseOne(const std::string& bytes) {
  XmlDocument document;
  document.buffer() = bytes;
  XmlElement root;
  const int result = document.parse(&root);
  if (bytes.empty()) {
    EXPECT_EQ(result, 0);
    return;
  }
  EXPECT_EQ(result, 1);
  expectWellFormedTree(root);
  (void)root.dumpText(XmlElement::DumpTexts::Utf8);
}

TEST(XmlFuzz, TruncatedAndMutatedDocuments) {
  static const char kInteresting[] = {'<', '>', '/', '&', ';', '"', '=', '\\', 'n', '\n', ' ',
                                      '\0', '\x81', '\xff', '\xe3', '\x5c'};
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  testing::internal::CaptureStderr();
  for (const std::string& seed : seeds()) {
    for (std::size_t length = 0; length <= seed.size(); ++length) parseOne(seed.substr(0, length));
    for (int round = 0; round < 400; ++round) {
      std::string bytes = seed;
      const int edits = 1 + static_cast<int>(next() % 4);
      for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t at = next() % bytes.size();
        const char c = (next() & 1) ? kInteresting[next() % sizeof kInteresting]
                                    : static_cast<char>(next() & 0xFF);
        switch (next() % 3) {
          case 0: bytes[at] = c; break;
          case 1: bytes.insert(at, 1, c); break;
          default: bytes.erase(at, 1 + next() % 8); break;
        }
      }
      parseOne(bytes);
    }
  }
  testing::internal::GetCapturedStderr();
}

TEST(XmlFuzz, DeepNestingNeitherOverflowsTheStackNorLeaks) {
  const int depth = 200000;
  std::string bytes;
  for (int i = 0; i < depth; ++i) bytes += "<E>";
  bytes += "deep";
  for (int i = 0; i < depth; ++i) bytes += "</E>";
  XmlDocument document;
  document.buffer() = bytes;
  auto root = std::make_unique<XmlElement>();
  ASSERT_EQ(document.parse(root.get()), 1);
  int levels = 0;
  const XmlElement* element = root.get();
  while (element->childCount() > 0) {
    element = element->child(0);
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(element->text(), "deep");
  EXPECT_EQ(root->findElement("missing"), nullptr);
  EXPECT_EQ(root->dumpText().size(), 4u * depth + 11 + 2 * 40 + 5);
  root.reset();  // destroys 200000 levels
}

}  // namespace
}  // namespace vashel
