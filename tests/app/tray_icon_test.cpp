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

// A figure 200 pixels tall off the frame's centre: a red head 40 across on
// a blue body, on a transparent frame.
QImage figure() {
  QImage frame(240, 320, QImage::Format_ARGB32_Premultiplied);
  frame.fill(Qt::transparent);
  QPainter painter(&frame);
  painter.setPen(Qt::NoPen);
  painter.fillRect(QRect(120, 100, 60, 160), Qt::blue);
  painter.setBrush(Qt::red);
  painter.drawEllipse(QRect(130, 60, 40, 40));
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
    int blue = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) blue += qBlue(image.pixel(x, y)) > 60 ? 1 : 0;
    }
    EXPECT_EQ(blue, 0) << "the body shows in the face";
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
