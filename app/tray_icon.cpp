// The tray icon and the face image it shows.
#include "app/tray_icon.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace vashel {
namespace {

QImage plainDisc() {
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xf0, 0x90, 0xb0));
  painter.drawEllipse(4, 4, 56, 56);
  return image;
}

}  // namespace

QIcon faceIcon(const QImage& frame) {
  const QImage image = frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  int top = -1, bottom = -1, left = image.width(), right = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(row[x]) == 0) continue;
      if (top < 0) top = y;
      bottom = y;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  QImage face;
  if (top < 0) {
    face = plainDisc();
  } else {
    // A standing figure whose head is about the upper half of it (the
    // characters are drawn with large heads), no wider than the figure. Thin
    // strands above the head (a hair tuft) would push the face down and out
    // of the square: the square starts at the first row a third as wide.
    const int side = std::max(1, std::min(right - left + 1, (bottom - top + 1) / 2));
    int squareTop = top;
    int headLeft = right, headRight = left;
    for (int y = top; y <= bottom; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      int first = -1, last = -1;
      for (int x = left; x <= right; ++x) {
        if (qAlpha(row[x]) == 0) continue;
        if (first < 0) first = x;
        last = x;
      }
      if (first >= 0 && last - first + 1 >= std::max(1, side / 3)) {
        squareTop = y;
        break;
      }
    }
    for (int y = squareTop; y < std::min(squareTop + side, bottom + 1); ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int x = left; x <= right; ++x) {
        if (qAlpha(row[x]) == 0) continue;
        headLeft = std::min(headLeft, x);
        headRight = std::max(headRight, x);
      }
    }
    const int centreX = (headLeft + headRight) / 2;
    face = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    QPainter painter(&face);
    painter.drawImage(QPoint(0, 0), image, QRect(centreX - side / 2, squareTop, side, side));
  }
  QIcon icon;
  for (const int size : kTrayIconSizes) {
    icon.addPixmap(QPixmap::fromImage(
        face.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
  }
  return icon;
}

TrayIcon::TrayIcon(const QString& tip, const QIcon& icon, std::function<void(QPoint)> leftPress,
                   std::function<void()> doubleClick) {
  icon_.setIcon(icon);
  icon_.setToolTip(tip);
  pendingPress_.setSingleShot(true);
  QObject::connect(&pendingPress_, &QTimer::timeout, &icon_,
                   [this, leftPress] { leftPress(pressedAt_); });
  QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                   [this, doubleClick](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger) {
                       pressedAt_ = QCursor::pos();
                       pendingPress_.start(QApplication::doubleClickInterval());
                     } else if (reason == QSystemTrayIcon::DoubleClick) {
                       pendingPress_.stop();
                       doubleClick();
                     }
                   });
}

}  // namespace vashel
