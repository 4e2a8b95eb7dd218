// Tells whether any of a window can be seen: not while it is hidden or
// unmapped (Qt: not exposed), nor while the X server reports it fully
// covered by other windows or a screen locker's.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <utility>

#include "platform/x11_visibility.h"

namespace vashel {

class WindowExposure final : public QObject {
 public:
  // Calls `changed` with the new answer whenever it changes. The watcher
  // belongs to `widget` and ends with it.
  WindowExposure(QWidget* widget, std::function<void(bool seen)> changed)
      : QObject(widget),
        widget_(widget),
        changed_(std::move(changed)),
        cover_([this](bool covered) {
          covered_ = covered;
          report();
        }) {
    widget->installEventFilter(this);
    watchNativeWindow();
    if (widget->isVisible()) cover_.watch(*widget);
  }

  bool seen() const {
    const QWindow* window = widget_->windowHandle();
    return widget_->isVisible() && window != nullptr && window->isExposed() && !covered_;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::Expose:
        // Qt may make a new native window for the widget: follow it.
        if (watched == widget_) watchNativeWindow();
        if (watched == widget_ && event->type() == QEvent::Show) cover_.watch(*widget_);
        report();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void watchNativeWindow() {
    QWindow* window = widget_->windowHandle();
    if (window == nullptr || window == watched_) return;
    if (watched_) watched_->removeEventFilter(this);
    watched_ = window;
    window->installEventFilter(this);
  }

  void report() {
    const bool now = seen();
    if (now == last_) return;
    last_ = now;
    changed_(now);
  }

  QWidget* widget_;
  QPointer<QWindow> watched_;
  std::function<void(bool)> changed_;
  CoverWatch cover_;
  bool covered_ = false;
  bool last_ = true;  // the frame gate starts out seen
};

}  // namespace vashel
