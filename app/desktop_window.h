// The character's window: frameless, without a taskbar entry, showing each
// presented frame with its per-pixel alpha; transparent pixels let clicks
// through to whatever lies below.
#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "app/frame_image.h"
#include "app/window_input.h"

namespace vashel {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

class DesktopWindow : public QWidget {
  Q_OBJECT

 public:
  // How alpha reaches the screen. With a compositor the frame is blended as
  // it is; without one the X server shows no alpha, so the window is cut to
  // the frame's covered pixels and shows them opaque.
  enum class Presentation { Translucent, ShapeMask };

  // Chooses the presentation from compositorActive(); it cannot change later
  // because the window's visual is fixed when it is created.
  explicit DesktopWindow(const QString& title = QStringLiteral("Vashel"));
  DesktopWindow(const QString& title, Presentation presentation);

  // The receiver of mouse and key input; null drops it. Not owned.
  void setInput(WindowInput* input) { input_ = input; }

  // Shows a frame: width × height pixels, bytes B, G, R, A, bottom row first,
  // colour already scaled by alpha. The window takes the frame's size. A null
  // buffer or an impossible size is refused with a diagnostic on stderr and
  // false; the window keeps its last frame.
  bool presentFrame(const std::uint8_t* bgraBottomUp, int width, int height);

  // Keeps the window above others (a request to the window manager).
  void setTopMost(bool on);
  bool topMost() const;

  // Moves the window's top-left pixel to a screen point. Dragging is the
  // shell's: it calls this from mouseMove, not the window manager's move.
  void moveTo(int x, int y);
  ScreenPoint position() const;

  // Called with the new position after every move, whoever caused it.
  void setMoveCallback(std::function<void(int x, int y)> callback) {
    moveCallback_ = std::move(callback);
  }

  // Called with the URL text of a drop on the window (text, or a link that
  // is not a local file); other drops are refused.
  void setDropCallback(std::function<void(const std::string& url)> callback) {
    dropCallback_ = std::move(callback);
  }

  // The X window now showing the character, for outside tools (xdotool,
  // xprop). Unlike winId() it follows Qt's re-creation of the window.
  unsigned long nativeId();

  Presentation presentation() const { return presentation_; }
  // How often the window's shape was replaced; unchanged coverage keeps it.
  int shapeUpdates() const { return shapeUpdates_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void updateShape();

  Presentation presentation_;
  WindowInput* input_ = nullptr;
  std::function<void(int, int)> moveCallback_;
  std::function<void(const std::string&)> dropCallback_;
  QImage frame_;  // translucent windows: premultiplied, as presented
  QImage shown_;  // shape-masked windows: the frame's opaque colours
  Coverage coverage_;
  Coverage scratch_;
  bool hasShape_ = false;
  int shapeUpdates_ = 0;
};

}  // namespace vashel
