// The X screen of a display name.
#include "platform/x11_desktop.h"

#include <gtest/gtest.h>

namespace vashel {
namespace {

TEST(ScreenOfDisplayName, ReadsTheScreenAfterTheDot) {
  EXPECT_EQ(screenOfDisplayName(":0"), 0);
  EXPECT_EQ(screenOfDisplayName(":0.1"), 1);
  EXPECT_EQ(screenOfDisplayName("host:12.3"), 3);
  EXPECT_EQ(screenOfDisplayName("/tmp/launch-x/org.x:0"), 0);  // dots before the colon
  EXPECT_EQ(screenOfDisplayName(""), 0);
  EXPECT_EQ(screenOfDisplayName(":0."), 0);
  EXPECT_EQ(screenOfDisplayName(":0.x"), 0);
  EXPECT_EQ(screenOfDisplayName(":0.99999999999999"), 0);  // no overflow
}

}  // namespace
}  // namespace vashel
