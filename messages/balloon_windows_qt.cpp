// The balloon's windows: painting the body, text and tail, the see-through
// outside, the balloon timer, keys passed on to the character and links
// opened on double-click.
#include "messages/balloon_windows_qt.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "platform/codepage.h"
#include "platform/x11_desktop.h"

namespace vashel {
namespace {

constexpr int kTimerMs = 500;
constexpr int kCornerRadius = 10;  // a 20 × 20 corner ellipse
constexpr int kTailSide = 32;
constexpr int kNormalPoints = 9;
constexpr int kBoldPoints = 11;
const QColor kTextColour(2, 2, 2);

void say(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

QString unicode(std::string_view cp932) {
  return QString::fromStdString(convertToUtf8(kDataCodePage, cp932));
}

// Points at the screen's resolution, from a face that has Japanese glyphs;
// fontconfig falls back to any such face when these are missing.
QFont balloonFont(int points, bool bold) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                    QStringLiteral("IPAexGothic"), QStringLiteral("VL Gothic")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi / 72.0))));
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

// The largest balloon: the screen, or a size any X server takes.
QSize screenLimit() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().size().boundedTo(QSize(8192, 8192))
                           : QSize(4096, 4096);
}

// A shape that lies wholly outside the window: an empty region would mean
// "no shape" and show the whole rectangle.
QRegion nothingVisible() { return QRegion(-1, -1, 1, 1); }

}  // namespace

// One of the two windows: shows a picture whose transparent pixels are cut
// away, so the desktop shows there with or without a compositor and clicks
// pass through.
class BalloonWindowBase : public QWidget {
 public:
  BalloonWindowBase(QWidget* owner, const QString& title)
      : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint) {
    setWindowTitle(title);
    setWindowRole(QStringLiteral("messagebox"));
    setObjectName(QStringLiteral("messagebox"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    // Without a compositor the window's visual has no alpha: the shape mask
    // alone keeps the outside see-through.
    if (compositorActive()) setAttribute(Qt::WA_TranslucentBackground);
    setMask(nothingVisible());
  }

  void setPicture(const QImage& picture) {
    picture_ = picture;
    setFixedSize(picture.size());
    const QRegion shape(QBitmap::fromImage(picture.createAlphaMask()));
    setMask(shape.isEmpty() ? nothingVisible() : shape);
    flushDisplay();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, picture_);
  }

 private:
  QImage picture_;
};

class BalloonMessageWindow final : public BalloonWindowBase {
 public:
  explicit BalloonMessageWindow(QWidget* owner)
      : BalloonWindowBase(owner, QStringLiteral("message")), owner_(owner) {
    setFocusPolicy(Qt::ClickFocus);
  }

  std::function<std::string()> linkSource;

 protected:
  void paintEvent(QPaintEvent* event) override {
    say("WM_PAINT\n");
    BalloonWindowBase::paintEvent(event);
  }

  void keyPressEvent(QKeyEvent* event) override {
    say("POPUP側でキー受信\n");
    // The character's window takes the key and the character it types.
    if (owner_ == nullptr) return;
    const std::unique_ptr<QKeyEvent> copy(event->clone());
    QCoreApplication::sendEvent(owner_, copy.get());
  }

  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      openLink();
      say("左だぶるくりっく\n");
    } else if (event->button() == Qt::RightButton) {
      openLink();
      say("右だぶるくりっく\n");
    }
  }

 private:
  bool openLink() {
    const std::string link = linkSource ? linkSource() : std::string();
    if (link.empty()) return false;
    const QUrl url(unicode(link).trimmed());
    if (isOpenableLink(link) && url.isValid()) {
      QDesktopServices::openUrl(url);
    } else {
      std::fprintf(stderr, "balloon: only http, https and mailto links are opened, not %s\n",
                   convertToUtf8(kDataCodePage, link).c_str());
    }
    return true;
  }

  QWidget* owner_;
};

class BalloonTailWindow final : public BalloonWindowBase {
 public:
  explicit BalloonTailWindow(QWidget* owner) : BalloonWindowBase(owner, QStringLiteral("balloon")) {}
};

QImage balloonTailPicture(bool onRight) {
  QImage image(kTailSide, kTailSide, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  // The top edge lies on the balloon's bottom border; the point is two
  // pixels in from the side and above the last two rows.
  const QPolygon wedge = onRight ? QPolygon({QPoint(0, 0), QPoint(14, 0), QPoint(29, 29)})
                                 : QPolygon({QPoint(31, 0), QPoint(17, 0), QPoint(2, 29)});
  painter.drawPolygon(wedge);
  return image;
}

QtBalloonWindows::QtBalloonWindows(QWidget* owner)
    : normalFont_(balloonFont(kNormalPoints, false)),
      boldFont_(balloonFont(kBoldPoints, true)),
      message_(new BalloonMessageWindow(owner)),
      tail_(new BalloonTailWindow(owner)) {
  message_->hide();
  tail_->hide();
  timer_.setInterval(kTimerMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (timerCallback_) timerCallback_();
  });
}

QtBalloonWindows::~QtBalloonWindows() {
  delete message_.data();
  delete tail_.data();
}

void QtBalloonWindows::setLinkSource(std::function<std::string()> source) {
  message_->linkSource = std::move(source);
}

QWidget& QtBalloonWindows::messageWindow() { return *message_; }
QWidget& QtBalloonWindows::tailWindow() { return *tail_; }

TextExtent QtBalloonWindows::extent(BalloonFont which, std::string_view cp932) {
  const QFontMetrics metrics(font(which));
  return {metrics.horizontalAdvance(unicode(cp932)), metrics.height()};
}

void QtBalloonWindows::place(const BalloonPlacement& placement) {
  message_->move(placement.x, placement.y);
  tail_->move(placement.tailX, placement.tailY);
  tail_->setPicture(balloonTailPicture(placement.tailOnRight));
}

void QtBalloonWindows::draw(const BalloonPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0) return;
  // A text without line breaks from a file or feed could ask for a window
  // wider than any screen or than X allows; it is cut at the screen's size.
  const QSize size = QSize(picture.width, picture.height).boundedTo(screenLimit());
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  // Hard edges: the shape mask is cut from these very pixels.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRect(0, 0, size.width() - 1, size.height() - 1), kCornerRadius,
                          kCornerRadius, Qt::AbsoluteSize);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setPen(kTextColour);
  for (const BalloonLine& line : picture.lines) {
    if (line.y >= size.height()) break;  // lines come top to bottom
    const QFont& lineFont = font(line.font);
    painter.setFont(lineFont);
    painter.drawText(line.x, line.y + QFontMetrics(lineFont).ascent(), unicode(line.text));
  }
  painter.end();
  message_->setPicture(image);
  tail_->show();
  message_->show();
  tail_->raise();
  message_->raise();
}

void QtBalloonWindows::hide() {
  if (message_) message_->hide();
  if (tail_) tail_->hide();
}

void QtBalloonWindows::restartTimer() { timer_.start(); }

}  // namespace vashel
