// The start-up position against given screens: a saved top-left that still
// shows is kept, one on no screen gives the default place under the pointer.
#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vashel {
namespace {

constexpr int kW = 240, kH = 320;
// Two monitors side by side; the left one has a 30-pixel panel at the bottom.
const ScreenRect kLeft{0, 0, 1920, 1050};
const ScreenRect kRight{1920, 0, 3200, 1024};

TEST(StartPosition, ASavedTopLeftThatStillShowsIsKept) {
  const std::vector<ScreenRect> all{kLeft, kRight};
  const StartScreens screens{all, kLeft, kLeft};
  for (const StartPosition saved : {StartPosition{123, 45}, StartPosition{2500, 600},
                                    // partly off the left edge, still partly shown
                                    StartPosition{-200, 100},
                                    // its last column lies on the right monitor
                                    StartPosition{3200 - 1, 1024 - 1}}) {
    EXPECT_EQ(chooseStartPosition(saved, kW, kH, screens), saved) << saved.x << "," << saved.y;
  }
}

TEST(StartPosition, ASavedTopLeftOnNoScreenGoesToTheDefaultPlaceUnderThePointer) {
  // The right monitor was unplugged; the pointer is on the left one.
  const std::vector<ScreenRect> left{kLeft};
  const StartScreens screens{left, kLeft, kLeft};
  const StartPosition expected{1920 - 1 - kW - 40, 1050 - 1 - kH - 20};
  for (const StartPosition saved : {StartPosition{2500, 600}, StartPosition{1920, 0},
                                    StartPosition{-kW, 0}, StartPosition{0, 1050},
                                    StartPosition{INT32_MAX, INT32_MAX},
                                    StartPosition{INT32_MIN, INT32_MIN}}) {
    EXPECT_EQ(chooseStartPosition(saved, kW, kH, screens), expected) << saved.x << "," << saved.y;
  }
  // With the pointer on the right monitor, there; on none, on the primary.
  const std::vector<ScreenRect> both{kLeft, kRight};
  const StartPosition far{5000, 5000};
  EXPECT_EQ(chooseStartPosition(far, kW, kH, {both, kLeft, kRight}),
            (StartPosition{3200 - 1 - kW - 40, 1024 - 1 - kH - 20}));
  EXPECT_EQ(chooseStartPosition(far, kW, kH, {both, kLeft, std::nullopt}), expected);
}

TEST(StartPosition, WithoutASavedOneTheDefaultPlaceIsOnThePrimaryScreen) {
  const std::vector<ScreenRect> both{kLeft, kRight};
  EXPECT_EQ(chooseStartPosition(std::nullopt, 160, 240, {both, kRight, kLeft}),
            (StartPosition{3200 - 1 - 160 - 40, 1024 - 1 - 240 - 20}));
  EXPECT_EQ(chooseStartPosition(std::nullopt, kW, kH, {}), (StartPosition{0, 0}));
  // A window system that reports no screens leaves the saved place alone.
  EXPECT_EQ(chooseStartPosition(StartPosition{7000, 9}, kW, kH, {}), (StartPosition{7000, 9}));
}

}  // namespace
}  // namespace vashel
