// The balloon's two windows on the desktop: the message window with the
// rounded body and its text, and the tail that points at the character.
// Both are frameless tool windows owned by the character's window, see-through
// outside the balloon's shape.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

#include "messages/balloon.h"

namespace vashel {

class BalloonMessageWindow;
class BalloonTailWindow;

// The tail pictures, 32 × 32, transparent outside a white wedge with a black
// outline. onRight: the wedge hangs from the balloon's right end towards a
// character on the right; else its mirror image.
QImage balloonTailPicture(bool onRight);

class QtBalloonWindows final : public BalloonWindows, public TextMeasure {
 public:
  // `owner`: the character's window, which the windows stay above and which
  // receives the keys typed into the balloon. Not owned; may be null.
  explicit QtBalloonWindows(QWidget* owner);
  ~QtBalloonWindows() override;

  // Called on each tick of the balloon timer.
  void setTimerCallback(std::function<void()> callback) { timerCallback_ = std::move(callback); }
  // The link a double-click opens (code page 932), asked at the click.
  void setLinkSource(std::function<std::string()> source);

  // BalloonWindows
  TextMeasure& measure() override { return *this; }
  void place(const BalloonPlacement& placement) override;
  void draw(const BalloonPicture& picture) override;
  void hide() override;
  void restartTimer() override;

  // TextMeasure: each line becomes Unicode only to be measured.
  TextExtent extent(BalloonFont font, std::string_view cp932) override;

  QWidget& messageWindow();
  QWidget& tailWindow();
  const QFont& font(BalloonFont which) const {
    return which == BalloonFont::Bold ? boldFont_ : normalFont_;
  }

 private:
  QFont normalFont_;
  QFont boldFont_;
  // Children of the owner when there is one, which may delete them first.
  QPointer<BalloonMessageWindow> message_;
  QPointer<BalloonTailWindow> tail_;
  QTimer timer_;
  std::function<void()> timerCallback_;
};

}  // namespace vashel
