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

// Each ill-formed piece of UTF-8 becomes one replacement, and reading goes on
// at the first byte that cannot continue it: the text after a bad byte is kept.
TEST(CodePage, IllFormedUtf8IsReplacedPieceByPiece) {
  const std::string_view lost = "\xEF\xBF\xBD";  // U+FFFD
  struct Case {
    std::string_view in;
    std::string_view shiftJis;
  };
  for (const Case c : {
           // A lead byte of a 4-byte form followed by letters.
           Case{"\xF0" "abc!", "?abc!"},
           Case{"\xF8" "abcd", "?abcd"},  // leads that no UTF-8 has
           Case{"\xFE" "xyz", "?xyz"},
           // A 5-byte form and a 6-byte form: every byte is bad on its own.
           Case{"a\xF8\x88\x80\x80\x80z", "a?????z"},
           Case{"\xFC\x84\x80\x80\x80\x80", "??????"},
           // A 3-byte form cut short by a letter, then by the end of the text.
           Case{"\xE3\x81" "a\xE3\x81", "?a?"},
           // Overlong forms and an encoded surrogate.
           Case{"\xC0\xAF" "b", "??b"},
           Case{"\xE0\x80\xAF" "b", "???b"},
           Case{"\xED\xA0\x80" "b", "???b"},
           // Beyond U+10FFFF.
           Case{"\xF4\x90\x80\x80" "b", "????b"},
       }) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.in)));
    EXPECT_EQ(convertUtf8ToShiftJis(c.in), c.shiftJis);
    // The same rule when UTF-8 is read as a source code page; the good
    // bytes here are ASCII, so they read the same in both.
    std::string expected;
    for (char b : c.shiftJis) {
      if (b == '?') {
        expected += lost;
      } else {
        expected += b;
      }
    }
    EXPECT_EQ(convertToUtf8(65001, c.in), expected);
  }
  // A stray continuation byte between two characters.
  EXPECT_EQ(convertUtf8ToShiftJis("あ\x80い"), "\x82\xa0?\x82\xa2");
  EXPECT_EQ(convertToUtf8(65001, "あ\x80い"), "あ\xEF\xBF\xBDい");
  // The largest code point and the last ones before and after the surrogates are fine.
  EXPECT_EQ(convertToUtf8(65001, "\xF4\x8F\xBF\xBF\xED\x9F\xBF\xEE\x80\x80"),
            "\xF4\x8F\xBF\xBF\xED\x9F\xBF\xEE\x80\x80");
}

TEST(CodePage, WellFormedUtf8Length) {
  EXPECT_EQ(wellFormedUtf8Length("a"), 1u);
  EXPECT_EQ(wellFormedUtf8Length("é!"), 2u);
  EXPECT_EQ(wellFormedUtf8Length("日本"), 3u);
  EXPECT_EQ(wellFormedUtf8Length("😀"), 4u);
  EXPECT_EQ(wellFormedUtf8Length(""), 0u);
  EXPECT_EQ(wellFormedUtf8Length("\x93\xfa"), 0u);          // code page 932
  EXPECT_EQ(wellFormedUtf8Length("\xE3\x81"), 0u);          // cut short
  EXPECT_EQ(wellFormedUtf8Length("\xF8\x88\x80\x80\x80"), 0u);
  EXPECT_EQ(wellFormedUtf8Length("\xED\xA0\x80"), 0u);     // a surrogate
}

}  // namespace
}  // namespace vashel
