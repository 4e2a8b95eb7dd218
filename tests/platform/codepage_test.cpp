#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace vashel {
namespace {

TEST(CodePage, ShiftJisRoundTripsThroughUtf8) {
  const std::string utf8 = "こんにちは、世界 abc";
  const std::string sjis = convertUtf8ToShiftJis(utf8);
  EXPECT_EQ(sjis, "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x41\x90\xa2\x8a\x45 abc");
  EXPECT_EQ(convertToUtf8(932, sjis), utf8);
  EXPECT_EQ(convertToUtf8(0, sjis), utf8);  // 0 means the data's code page
}

TEST(CodePage, MicrosoftMappingOfWaveDash) {
  // 932 maps 0x8160 to the fullwidth tilde, where plain Shift_JIS has the wave dash.
  EXPECT_EQ(convertToUtf8(932, "\x81\x60"), "\xEF\xBD\x9E");
}

TEST(CodePage, EucJp) {
  EXPECT_EQ(convertToUtf8(51932, "\xa4\xa2"), "あ");
}

TEST(CodePage, BadBytesBecomeReplacementCharacters) {
  // A lone lead byte at the end and an undefined single byte.
  EXPECT_EQ(convertToUtf8(932, std::string_view("a\xa0z\x82", 4)), "a\xEF\xBF\xBDz\xEF\xBF\xBD");
}

TEST(CodePage, StopsAtNul) {
  EXPECT_EQ(convertToUtf8(932, std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(convertUtf8ToShiftJis(std::string_view("ab\0cd", 5)), "ab");
}

TEST(CodePage, UnknownCodePageGivesEmpty) { EXPECT_EQ(convertToUtf8(12345, "abc"), ""); }

TEST(CodePage, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(convertUtf8ToShiftJis("a😀b"), "a?b");
  EXPECT_EQ(convertUtf8ToShiftJis("a\xffz"), "a?z");
}

}  // namespace
}  // namespace vashel
