// The character's icon in the notification area: its face as the picture,
// its name as the tip; a left press opens the tray menu, a left double-click
// hides or shows the character.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

namespace vashel {

// The icon's picture sizes, in pixels.
inline constexpr int kTrayIconSizes[] = {16, 24, 32, 48, 64};

// The face of the character in `frame` (any format with alpha), as images of
// every tray size: a square over the upper half of the covered pixels,
// centred on the head. A frame that covers nothing gives a plain disc.
QIcon faceIcon(const QImage& frame);

class TrayIcon {
 public:
  // `leftPress` runs with the cursor's screen point of a left press that was
  // not the start of a double-click; `doubleClick` runs on a left double-click.
  TrayIcon(const QString& tip, const QIcon& icon, std::function<void(QPoint)> leftPress,
           std::function<void()> doubleClick);

  // Whether the desktop has a notification area now.
  static bool available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

  void show() { icon_.show(); }
  void hide() { icon_.hide(); }
  QSystemTrayIcon& icon() { return icon_; }

 private:
  QSystemTrayIcon icon_;
  // A press waits out the double-click time before the menu opens: an open
  // menu takes the pointer, and the second click of a double-click would
  // only close it.
  QTimer pendingPress_;
  QPoint pressedAt_;
};

}  // namespace vashel
