// Stepping a sequence's message list and timing the balloon's messages.
#include "messages/balloon_state.h"

#include <gtest/gtest.h>

#include "platform_fakes.h"
#include "xml/xml.h"

namespace vashel {
namespace {

using testing::ScriptedRandom;

TEST(BalloonList, StepsPastEmptyGroupsThenDropsTheList) {
  XmlDocument document;
  document.buffer() =
      "<sequence><m frame=\"25\">a</m><random/><random><m>b</m><m>c</m></random></sequence>";
  XmlElement root;
  document.parse(&root);
  const XmlElement* sequence = root.findElement("sequence");
  ASSERT_NE(sequence, nullptr);

  BalloonState state{nullptr, 3, 77};
  startSequenceList(state, *sequence);
  EXPECT_TRUE(messageExpired(state, 1));  // the first entry is due at once

  ScriptedRandom random({5});
  SequenceMessage entry = takeNextEntry(state, 1000, random);
  ASSERT_NE(entry.element, nullptr);
  EXPECT_EQ(entry.element->text(), "a");
  EXPECT_EQ(state.listIndex, 1);
  EXPECT_FALSE(messageExpired(state, 3500));
  EXPECT_TRUE(messageExpired(state, 3501));

  entry = takeNextEntry(state, 4000, random);  // the empty group gives way; 5 % 2
  ASSERT_NE(entry.element, nullptr);
  EXPECT_EQ(entry.element->text(), "c");
  EXPECT_EQ(state.listIndex, 3);
  EXPECT_EQ(state.expiry, 14000u);

  EXPECT_EQ(takeNextEntry(state, 15000, random).element, nullptr);
  EXPECT_EQ(state.currentSequence, nullptr);
  EXPECT_EQ(state.expiry, 14000u);
}

TEST(BalloonList, TextsStayAnHourForZeroSecondsAndTheExpiryWraps) {
  BalloonState state;
  EXPECT_EQ(startTimedMessage(state, 1000, 0), 3600);
  EXPECT_EQ(state.expiry, 3601000u);
  EXPECT_EQ(startTimedMessage(state, 0xFFFFFFFFu - 999, 2), 2);
  EXPECT_EQ(state.expiry, 1000u);
}

}  // namespace
}  // namespace vashel
