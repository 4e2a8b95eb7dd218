// The mail socket's name per display and the count's one-line format.
#include "platform/mail_socket.h"

#include <gtest/gtest.h>

#include <string>

namespace vashel {
namespace {

TEST(ParseMailCount, TakesUnsignedDecimalLines) {
  EXPECT_EQ(parseMailCount("3"), 3u);
  EXPECT_EQ(parseMailCount("3\n"), 3u);
  EXPECT_EQ(parseMailCount("17\r\n"), 17u);
  EXPECT_EQ(parseMailCount("0"), 0u);
  EXPECT_EQ(parseMailCount("007"), 7u);
  EXPECT_EQ(parseMailCount("4294967295"), 4294967295u);
}

TEST(ParseMailCount, RejectsEverythingElse) {
  for (const char* bad : {"", "\n", "-1", "+3", " 3", "3 ", "3x", "0x10", "4294967296",
                          "99999999999999999999999", "3\n\n", "\r\n"}) {
    EXPECT_FALSE(parseMailCount(bad).has_value()) << '"' << bad << '"';
  }
}

TEST(MailSocketName, OneShortFileNamePerDisplay) {
  EXPECT_EQ(mailSocketName(":0.0"), mailSocketName(":0"));  // a screen of the same display
  EXPECT_NE(mailSocketName(":1"), mailSocketName(":0"));
  EXPECT_EQ(mailSocketName("localhost:10.0"), "vezudovora-localhost:10");
  EXPECT_EQ(mailSocketName(nullptr), "vezudovora");
  EXPECT_EQ(mailSocketName("../x/y:0"), "vezudovora-.._x_y:0");
  EXPECT_EQ(mailSocketName(std::string(500, 'h').c_str()).size(), 11u + 64u);
}

}  // namespace
}  // namespace vashel
