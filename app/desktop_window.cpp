// The character's window on the desktop: presentation, shape and raw input.
#include "app/desktop_window.h"

#include <QBackingStore>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstring>

#include "app/feed_fetcher.h"
#include "platform/x11_desktop.h"

namespace vashel {
namespace {

// A shape that lies wholly outside the window: an empty region would mean
// "no shape" and show the whole rectangle.
QRegion nothingVisible() { return QRegion(-1, -1, 1, 1); }

unsigned buttonBits(Qt::MouseButtons buttons) {
  unsigned bits = 0;
  if (buttons & Qt::LeftButton) bits |= kButtonLeft;
  if (buttons & Qt::RightButton) bits |= kButtonRight;
  if (buttons & Qt::MiddleButton) bits |= kButtonMiddle;
  return bits;
}

PointerEvent pointerEvent(const QMouseEvent& event) {
  PointerEvent p;
  const QPoint client = event.position().toPoint();
  const QPoint screen = event.globalPosition().toPoint();
  p.x = client.x();
  p.y = client.y();
  p.screenX = screen.x();
  p.screenY = screen.y();
  p.button = buttonBits(event.button());
  p.buttons = buttonBits(event.buttons());
  if (event.modifiers() & Qt::ShiftModifier) p.modifiers |= kModShift;
  if (event.modifiers() & Qt::ControlModifier) p.modifiers |= kModCtrl;
  return p;
}

}  // namespace

DesktopWindow::DesktopWindow(const QString& title)
    : DesktopWindow(title, compositorActive() ? Presentation::Translucent
                                              : Presentation::ShapeMask) {}

DesktopWindow::DesktopWindow(const QString& title, Presentation presentation)
    // A tool window has no taskbar entry yet still takes the keyboard focus,
    // which the debug keys and Escape need; bypassing the window manager
    // would lose the focus.
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      presentation_(presentation) {
  setWindowTitle(title);
  setAttribute(Qt::WA_NoSystemBackground);  // every pixel comes from the frame
  if (presentation_ == Presentation::Translucent) {
    setAttribute(Qt::WA_TranslucentBackground);
  } else {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  setMouseTracking(true);  // moves without a button, for following the mouse
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);  // a URL dropped on the character is fetched
  // Until the first frame arrives nothing shows and nothing takes clicks.
  setMask(nothingVisible());
}

bool DesktopWindow::presentFrame(const std::uint8_t* bgraBottomUp, int width, int height) {
  // One pass from the read-back frame into the image the window shows, with
  // the covered pixels found on the way; no image is allocated per frame.
  const bool opaque = presentation_ == Presentation::ShapeMask;
  QImage& image = opaque ? shown_ : frame_;
  if (opaque && image.format() == QImage::Format_RGB32) {
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
  }
  if (!copyFrame(bgraBottomUp, width, height, image, &scratch_)) {
    std::fprintf(stderr, "presentFrame: frame refused (%s, %d x %d)\n",
                 bgraBottomUp ? "pixels" : "no pixels", width, height);
    return false;
  }
  if (this->width() != width || this->height() != height) setFixedSize(width, height);
  if (opaque) {
    // No alpha on screen: show each covered pixel in its own colour rather
    // than darkened by its alpha (the conversion divides by alpha), in place.
    image.convertTo(QImage::Format_RGB32);
  }
  // The shape first, then the pixels: showing new pixels in an old shape
  // would flash uncovered corners.
  updateShape();
  repaint();
  // Nothing is left to send when the repaint sent the pixels; a shape alone
  // (a frame with nothing covered) still goes out now.
  flushDisplay();
  return true;
}

void DesktopWindow::updateShape() {
  // scratch_ holds the new frame's coverage.
  if (hasShape_ && scratch_ == coverage_) return;
  std::swap(coverage_, scratch_);
  // Also in translucent mode: the shape clips input too, so clicks on
  // transparent pixels reach the window below.
  // Flushed with the frame's pixels after the repaint: the same connection
  // keeps the order, and one write costs less than two.
  setMask(coverage_.empty() ? nothingVisible() : coverageRegion(coverage_));
  hasShape_ = true;
  ++shapeUpdates_;
}

namespace {

// Copies the rows of `image` inside `area` into the backing store's own
// image when that is a plain image of the same format and scale; false when
// it is not. A painter would clip to the window's shape span by span, which
// for a character's outline means hundreds of spans handed to Qt's thread
// pool on every frame; the shape hides the rest of the rectangle anyway.
bool copyIntoBackingStore(QWidget& widget, const QImage& image, const QRect& area) {
  QBackingStore* store = widget.backingStore();
  QPaintDevice* device = store ? store->paintDevice() : nullptr;
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  auto* target = static_cast<QImage*>(device);
  // RGB32 pixels are stored as 0xffRRGGBB: opaque premultiplied pixels.
  const bool sameBytes = target->format() == image.format() ||
                         (image.format() == QImage::Format_RGB32 &&
                          target->format() == QImage::Format_ARGB32_Premultiplied);
  if (!sameBytes || target->devicePixelRatio() != 1.0 ||
      widget.devicePixelRatio() != 1.0 || widget.parentWidget() != nullptr) {
    return false;
  }
  const QRect rows = area & image.rect() & target->rect();
  if (rows.isEmpty()) return true;
  const std::size_t bytes = static_cast<std::size_t>(rows.width()) * 4;
  for (int y = rows.top(); y <= rows.bottom(); ++y) {
    std::memcpy(target->scanLine(y) + static_cast<std::size_t>(rows.left()) * 4,
                image.constScanLine(y) + static_cast<std::size_t>(rows.left()) * 4, bytes);
  }
  return true;
}

}  // namespace

void DesktopWindow::paintEvent(QPaintEvent* event) {
  const QImage& image = presentation_ == Presentation::ShapeMask ? shown_ : frame_;
  if (!image.isNull() && copyIntoBackingStore(*this, image, event->rect())) return;
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  if (image.isNull()) {
    painter.fillRect(rect(), Qt::transparent);
  } else {
    painter.drawImage(0, 0, image);
  }
}

void DesktopWindow::setTopMost(bool on) {
  Qt::WindowFlags flags = windowFlags();
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  if (flags == windowFlags()) return;
  // QWidget::setWindowFlags would destroy and re-create the native window
  // (a visible flicker and a lost shape); the QWindow asks the window
  // manager in place, and the widget's copy of the flags follows.
  overrideWindowFlags(flags);
  if (QWindow* window = windowHandle()) window->setFlags(flags);
  if (on && isVisible()) raise();
}

bool DesktopWindow::topMost() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

void DesktopWindow::moveTo(int x, int y) { move(x, y); }

unsigned long DesktopWindow::nativeId() {
  return static_cast<unsigned long>(windowHandle() ? windowHandle()->winId() : winId());
}

ScreenPoint DesktopWindow::position() const { return {pos().x(), pos().y()}; }

void DesktopWindow::mousePressEvent(QMouseEvent* event) {
  if (input_) input_->mousePress(pointerEvent(*event));
}

void DesktopWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (input_) input_->mouseRelease(pointerEvent(*event));
}

void DesktopWindow::mouseMoveEvent(QMouseEvent* event) {
  if (input_) input_->mouseMove(pointerEvent(*event));
}

void DesktopWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (input_) input_->mouseDoubleClick(pointerEvent(*event));
}

void DesktopWindow::leaveEvent(QEvent*) {
  if (input_) input_->mouseLeave();
}

void DesktopWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    if (input_) input_->keyEscape();
    return;
  }
  if (input_ == nullptr) return;
  for (const QChar ch : event->text()) {
    if (ch.unicode() < 0x80) input_->keyChar(static_cast<char>(ch.unicode()));
  }
}

void DesktopWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (moveCallback_) moveCallback_(event->pos().x(), event->pos().y());
}

void DesktopWindow::showEvent(QShowEvent* event) {
  // Before the window is mapped for the window manager's first look, and
  // once more as a request when it is mapped.
  markSkipTaskbar(*this);
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) requestSkipTaskbar(*this);
  });
  QWidget::showEvent(event);
}

// Only drops that carry a URL text are taken; files alone are refused.
void DesktopWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData() != nullptr && droppedUrl(*event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void DesktopWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData() != nullptr && droppedUrl(*event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void DesktopWindow::dropEvent(QDropEvent* event) {
  const std::optional<std::string> url =
      event->mimeData() != nullptr ? droppedUrl(*event->mimeData()) : std::nullopt;
  if (!url) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  if (dropCallback_) dropCallback_(*url);
}

}  // namespace vashel
