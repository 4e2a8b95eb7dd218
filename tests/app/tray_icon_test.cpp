// The tray icon's picture: the character's head, at every tray size.
#include "app/tray_icon.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "qt_test_app.h"

namespace vashel {
namespace {

class FaceIconTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureQtApp(); }
};

// A figure 240 pixels tall off the frame's centre: a thin tuft 20 high on a
// red head 110 across over a blue body 110 high, on a transparent frame.
QImage figure() {
  QImage frame(320, 320, QImage::Format_ARGB32_Premultiplied);
  frame.fill(Qt::transparent);
  QPainter painter(&frame);
  painter.setPen(Qt::NoPen);
  painter.fillRect(QRect(185, 20, 3, 22), Qt::green);
  painter.fillRect(QRect(150, 150, 80, 110), Qt::blue);
  painter.setBrush(Qt::red);
  painter.drawEllipse(QRect(135, 40, 110, 110));
  return frame;
}

TEST_F(FaceIconTest, ShowsTheHeadAtEveryTraySize) {
  const QIcon icon = faceIcon(figure());
  for (const int size : kTrayIconSizes) {
    SCOPED_TRACE(size);
    const QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(size, size));
    const QRgb centre = image.pixel(size / 2, size / 2);
    EXPECT_GT(qRed(centre), 200);
    EXPECT_LT(qBlue(centre), 30);
    // The head fills the square's width; little of the body shows, and no
    // row of the tuft above it.
    EXPECT_GT(qRed(image.pixel(1, size / 2)), 100);
    EXPECT_GT(qRed(image.pixel(size - 2, size / 2)), 100);
    int red = 0, blue = 0, green = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const QRgb p = image.pixel(x, y);
        red += qRed(p) > 128 ? 1 : 0;
        blue += qBlue(p) > 128 ? 1 : 0;
        green += qGreen(p) > 128 ? 1 : 0;
      }
    }
    EXPECT_GT(red, size * size / 2);
    EXPECT_LT(blue, size * size / 10);
    EXPECT_EQ(green, 0);
  }
}

TEST_F(FaceIconTest, AnEmptyFrameStillGivesAPicture) {
  QImage frame(240, 320, QImage::Format_ARGB32_Premultiplied);
  frame.fill(Qt::transparent);
  for (const QImage& input : {frame, QImage()}) {
    const QIcon icon = faceIcon(input);
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_GT(qAlpha(image.pixel(16, 16)), 0);
  }
}

}  // namespace
}  // namespace vashel
