// Taking entries from a sequence's message list, and HH/MM expansion.
#include "messages/vocabulary.h"

#include <gtest/gtest.h>

#include <climits>
#include <deque>

#include "platform_fakes.h"
#include "xml/xml.h"

namespace vashel {
namespace {

using testing::ScriptedRandom;

// Parses a sequence element from XML text, as message.xml would give it.
class Sequence {
 public:
  explicit Sequence(const std::string& xml) {
    document_.buffer() = xml;
    document_.parse(&root_);
    element_ = root_.findElement("sequence");
  }
  const XmlElement& operator*() const { return *element_; }

 private:
  XmlDocument document_;
  XmlElement root_;
  const XmlElement* element_ = nullptr;
};

TEST(NextMessageEntry, PlainEntriesCarryTheirDisplayTime) {
  Sequence sequence(
      "<sequence><M frame=\"25\">a</M><m>b</m><m frame=\"0\">c</m><m frame=\"7x\">d</m>"
      "<m frame=\"junk\">e</m></sequence>");
  ScriptedRandom random;
  const SequenceMessage first = nextMessageEntry(*sequence, 0, random);
  ASSERT_NE(first.element, nullptr);
  EXPECT_EQ(first.element->text(), "a");
  EXPECT_EQ(first.displayMs, 2500);
  EXPECT_EQ(nextMessageEntry(*sequence, 1, random).displayMs, 10000);
  EXPECT_EQ(nextMessageEntry(*sequence, 2, random).displayMs, 0);
  EXPECT_EQ(nextMessageEntry(*sequence, 3, random).displayMs, 700);  // read as atoi reads
  EXPECT_EQ(nextMessageEntry(*sequence, 4, random).displayMs, 0);
  EXPECT_EQ(random.drawn, 0);
}

TEST(NextMessageEntry, PastTheEndThereIsNoEntry) {
  Sequence sequence("<sequence><m>a</m></sequence>");
  ScriptedRandom random;
  EXPECT_EQ(nextMessageEntry(*sequence, 1, random).element, nullptr);
  Sequence empty("<sequence/>");
  EXPECT_EQ(nextMessageEntry(*empty, 0, random).element, nullptr);
}

TEST(NextMessageEntry, HugeFrameValuesAreClampedNotOverflowed) {
  Sequence sequence(
      "<sequence><m frame=\"99999999999999999999\"/><m frame=\"-99999999999\"/></sequence>");
  ScriptedRandom random;
  EXPECT_EQ(nextMessageEntry(*sequence, 0, random).displayMs, INT_MAX);
  EXPECT_EQ(nextMessageEntry(*sequence, 1, random).displayMs, INT_MIN);
}

TEST(NextMessageEntry, RandomGroupTakesOneMemberPerDraw) {
  Sequence sequence(
      "<sequence><Random><m>a</m><m frame=\"5\">b</m><random>c</random></Random></sequence>");
  ScriptedRandom random({0, 4, 32767, 2, -1});
  EXPECT_EQ(nextMessageEntry(*sequence, 0, random).element->text(), "a");
  const SequenceMessage second = nextMessageEntry(*sequence, 0, random);  // 4 % 3
  EXPECT_EQ(second.element->text(), "b");
  EXPECT_EQ(second.displayMs, 500);
  EXPECT_EQ(nextMessageEntry(*sequence, 0, random).element->text(), "b");  // 32767 % 3
  // A random element inside a group is an entry, not a second choice.
  const SequenceMessage nested = nextMessageEntry(*sequence, 0, random);
  EXPECT_EQ(nested.element->name(), "random");
  EXPECT_EQ(nested.element->text(), "c");
  // A faulty source's negative draw still lands on a member.
  EXPECT_NE(nextMessageEntry(*sequence, 0, random).element, nullptr);
  EXPECT_EQ(random.drawn, 5);
}

TEST(NextMessageEntry, RandomGroupWithoutMembersYieldsNoEntryAndNoDraw) {
  Sequence sequence("<sequence><random>text only</random><m>a</m></sequence>");
  ScriptedRandom random;
  EXPECT_EQ(nextMessageEntry(*sequence, 0, random).element, nullptr);
  EXPECT_EQ(random.drawn, 0);
  EXPECT_EQ(nextMessageEntry(*sequence, 1, random).element->text(), "a");
}

TEST(ExpandTimePlaceholders, PairsBecomeTwoDigits) {
  EXPECT_EQ(expandTimePlaceholders("HH:MM", 9, 5), "09:05");
  // "時" and "分" in code page 932.
  EXPECT_EQ(expandTimePlaceholders("It is HH\x8e\x9eMM\x95\xaa", 23, 59),
            "It is 23\x8e\x9e" "59\x95\xaa");
  EXPECT_EQ(expandTimePlaceholders("HHMMHH", 0, 7), "000700");
}

TEST(ExpandTimePlaceholders, SingleAndOddLettersStay) {
  EXPECT_EQ(expandTimePlaceholders("H M h m hh mm HM", 9, 5), "H M h m hh mm HM");
  EXPECT_EQ(expandTimePlaceholders("HHH MMM", 9, 5), "09H 05M");
  EXPECT_EQ(expandTimePlaceholders("", 9, 5), "");
  EXPECT_EQ(expandTimePlaceholders("H", 9, 5), "H");
}

TEST(ExpandTimePlaceholders, SecondBytesOfDoubleByteCharactersAreNotLetters) {
  // 0x81 0x48 is "？" and 0x81 0x4D is "｀": their second bytes are H and M.
  EXPECT_EQ(expandTimePlaceholders("\x81\x48H", 9, 5), "\x81\x48H");
  EXPECT_EQ(expandTimePlaceholders("\x81\x4DM", 9, 5), "\x81\x4DM");
  EXPECT_EQ(expandTimePlaceholders("\x81\x48HH\x81\x4DMM", 9, 5), "\x81\x48" "09\x81\x4D" "05");
  // A half-width katakana byte (0xB1) is a character of its own.
  EXPECT_EQ(expandTimePlaceholders("\xB1HH", 9, 5), "\xB1" "09");
  // A lead byte cut off at the end is copied as it is.
  EXPECT_EQ(expandTimePlaceholders("MM\x81", 9, 5), "05\x81");
}

}  // namespace
}  // namespace vashel
