// Precise single-shot ticks on the main thread.
#include "app/qt_tick_timer.h"

#include <QThread>

#include <algorithm>

namespace vashel {

QtTickTimer::QtTickTimer(std::function<void()> onTick, QObject* parent)
    : QObject(parent), onTick_(std::move(onTick)), timer_(this) {
  timer_.setSingleShot(true);
  // Coarse timers may fire up to 5% late; the frame clock corrects lateness
  // but not jitter.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (onTick_) onTick_();
  });
}

void QtTickTimer::armTick(int delayMs) {
  if (QThread::currentThread() == thread()) {
    arm(delayMs);
  } else {
    QMetaObject::invokeMethod(this, [this, delayMs] { arm(delayMs); }, Qt::QueuedConnection);
  }
}

void QtTickTimer::arm(int delayMs) { timer_.start(std::max(delayMs, 0)); }

void QtTickTimer::cancel() {
  if (QThread::currentThread() == thread()) {
    timer_.stop();
  } else {
    QMetaObject::invokeMethod(this, [this] { timer_.stop(); }, Qt::QueuedConnection);
  }
}

}  // namespace vashel
