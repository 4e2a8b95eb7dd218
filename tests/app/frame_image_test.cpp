// Frame copy into the window's image, and the coverage that shapes the window.
#include "app/frame_image.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace vashel {
namespace {

// A bottom-up BGRA buffer; pixel (x, row) with row 0 at the bottom.
struct Frame {
  int width, height;
  std::vector<std::uint8_t> bytes;
  Frame(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4, 0) {}
  void set(int x, int rowFromBottom, std::array<std::uint8_t, 4> bgra) {
    std::copy(bgra.begin(), bgra.end(), bytes.begin() + (rowFromBottom * width + x) * 4);
  }
};

TEST(CopyFrame, FlipsRowsAndKeepsChannelOrder) {
  Frame f(3, 2);
  f.set(0, 0, {10, 20, 30, 255});  // bottom-left
  f.set(2, 1, {1, 2, 3, 4});       // top-right
  QImage image(7, 7, QImage::Format_RGB32);
  image.fill(Qt::green);  // junk that must be replaced
  ASSERT_TRUE(copyFrame(f.bytes.data(), 3, 2, image));
  ASSERT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
  ASSERT_EQ(image.size(), QSize(3, 2));
  EXPECT_EQ(image.pixel(0, 1), qRgba(30, 20, 10, 255));  // bottom row is the image's last
  EXPECT_EQ(image.pixel(2, 0), qRgba(3, 2, 1, 4));
  EXPECT_EQ(image.pixel(1, 0), qRgba(0, 0, 0, 0));
}

TEST(CopyFrame, ClampsColourToAlpha) {
  // A mesh at alpha 0.5 arrives as colour 128 with alpha 64: as premultiplied
  // data that would be brighter than possible.
  Frame f(2, 1);
  f.set(0, 0, {128, 128, 128, 64});
  f.set(1, 0, {0, 200, 30, 100});
  QImage image;
  ASSERT_TRUE(copyFrame(f.bytes.data(), 2, 1, image));
  EXPECT_EQ(image.pixel(0, 0), qRgba(64, 64, 64, 64));
  EXPECT_EQ(image.pixel(1, 0), qRgba(30, 100, 0, 100));
}

TEST(CopyFrame, RefusesBadFramesAndKeepsTheLastOne) {
  Frame f(2, 2);
  f.set(0, 0, {9, 9, 9, 9});
  QImage image;
  ASSERT_TRUE(copyFrame(f.bytes.data(), 2, 2, image));
  const QImage before = image.copy();
  EXPECT_FALSE(copyFrame(nullptr, 2, 2, image));
  EXPECT_FALSE(copyFrame(f.bytes.data(), 0, 2, image));
  EXPECT_FALSE(copyFrame(f.bytes.data(), 2, -1, image));
  EXPECT_FALSE(copyFrame(f.bytes.data(), kMaxFrameSide + 1, 1, image));
  EXPECT_EQ(image, before);
}

QImage imageWithAlpha(int w, int h, const std::vector<int>& alpha) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int a = alpha[y * w + x];
      image.setPixel(x, y, qRgba(0, 0, a, a));
    }
  }
  return image;
}

TEST(Coverage, RunsPerRow) {
  // .##.#
  // .....
  // #####
  const QImage image = imageWithAlpha(5, 3, {0, 1, 255, 0, 7,  //
                                             0, 0, 0, 0, 0,    //
                                             9, 9, 9, 9, 9});
  Coverage c;
  c.spans = {42, 43};  // junk from an earlier frame
  findCoverage(image, c);
  EXPECT_EQ(c.rowStart, (std::vector<int>{0, 4, 4, 6}));
  EXPECT_EQ(c.spans, (std::vector<int>{1, 3, 4, 5, 0, 5}));
}

TEST(Coverage, EqualOnlyWhenTheCoveredPixelsAgree) {
  Coverage a, b, c, d;
  findCoverage(imageWithAlpha(3, 1, {0, 5, 0}), a);
  findCoverage(imageWithAlpha(3, 1, {0, 200, 0}), b);  // other alpha, same pixels
  findCoverage(imageWithAlpha(3, 1, {5, 0, 0}), c);
  findCoverage(imageWithAlpha(1, 3, {0, 5, 0}), d);  // same runs' count, other shape
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_NE(a, d);
}

TEST(Coverage, RegionHoldsExactlyTheCoveredPixels) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    const int w = 1 + static_cast<int>(random() % 40);
    const int h = 1 + static_cast<int>(random() % 40);
    std::vector<int> alpha(static_cast<std::size_t>(w) * h);
    // Blobs with repeated rows, so that bands of several rows occur.
    for (int y = 0; y < h; ++y) {
      if (y > 0 && random() % 3 == 0) {
        std::copy_n(alpha.begin() + (y - 1) * w, w, alpha.begin() + y * w);
        continue;
      }
      for (int x = 0; x < w; ++x) alpha[y * w + x] = random() % 2 ? 0 : 1 + random() % 255;
    }
    Coverage c;
    findCoverage(imageWithAlpha(w, h, alpha), c);
    const QRegion region = coverageRegion(c);
    for (int y = -1; y <= h; ++y) {
      for (int x = -1; x <= w; ++x) {
        const bool covered = x >= 0 && y >= 0 && x < w && y < h && alpha[y * w + x] != 0;
        ASSERT_EQ(region.contains(QPoint(x, y)), covered)
            << "round " << round << " pixel " << x << "," << y;
      }
    }
  }
}

TEST(Coverage, NothingCoveredGivesAnEmptyRegion) {
  Coverage c;
  findCoverage(imageWithAlpha(4, 2, std::vector<int>(8, 0)), c);
  EXPECT_TRUE(c.empty());
  EXPECT_TRUE(coverageRegion(c).isEmpty());
}

TEST(ShapeMaskColours, ConversionToOpaqueUndoesTheAlphaScaling) {
  // The window without a compositor shows covered pixels in their own colour;
  // it relies on Qt dividing by alpha when dropping it.
  QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
  image.setPixel(0, 0, qRgba(32, 64, 0, 64));
  const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
  EXPECT_NEAR(qRed(opaque.pixel(0, 0)), 128, 1);
  EXPECT_EQ(qGreen(opaque.pixel(0, 0)), 255);
  EXPECT_EQ(qBlue(opaque.pixel(0, 0)), 0);
}


// The coverage found while copying is the one found from the copy, and
// every colour is clamped to its alpha, for frames of random alpha with runs
// touching both edges: short runs, and long ones as a character's rows have.
TEST(CopyFrame, ClampsEveryPixelAndFindsTheCoverageOnTheWay) {
  std::mt19937 random(7);
  for (int round = 0; round < 100; ++round) {
    const bool longRuns = round % 2 == 1;
    const int w = 1 + static_cast<int>(random() % (longRuns ? 90 : 40));
    const int h = 1 + static_cast<int>(random() % 12);
    Frame f(w, h);
    for (int y = 0; y < h; ++y) {
      bool inside = random() % 2 == 0;
      for (int x = 0; x < w; ++x) {
        if (longRuns && random() % 9 == 0) inside = !inside;
        const bool zero = longRuns ? !inside : random() % 3 == 0;
        const auto a = static_cast<std::uint8_t>(zero ? 0 : 1 + random() % 255);
        f.set(x, y, {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), 6, a});
      }
    }
    QImage image;
    Coverage found{3, 3, {1, 2}, {0, 1}};  // junk that must be replaced
    ASSERT_TRUE(copyFrame(f.bytes.data(), w, h, image, &found));
    Coverage expected;
    findCoverage(image, expected);
    ASSERT_EQ(found, expected) << "round " << round;
    // And every pixel clamped, four at a time or one by one.
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = &f.bytes[static_cast<std::size_t>((y * w + x) * 4)];
        const int a = p[3];
        ASSERT_EQ(image.pixel(x, h - 1 - y),
                  qRgba(std::min<int>(p[2], a), std::min<int>(p[1], a), std::min<int>(p[0], a), a))
            << x << ", " << y << " in round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace vashel
