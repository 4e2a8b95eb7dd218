// The frame clock's one-shot tick on a precise Qt timer of the main thread.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "anim/clock.h"

namespace vashel {

// Fires `onTick` once on the thread that created the timer (the main thread),
// `delayMs` after armTick. There is at most one pending tick: arming again
// replaces it, so a second arm cannot start a second chain of ticks that
// would double the frame rate. A negative delay fires at once.
class QtTickTimer final : public QObject, public TickTimer {
  Q_OBJECT

 public:
  explicit QtTickTimer(std::function<void()> onTick, QObject* parent = nullptr);

  // May be called from any thread.
  void armTick(int delayMs) override;
  void cancel();
  bool pending() const { return timer_.isActive(); }

 private:
  void arm(int delayMs);

  std::function<void()> onTick_;
  QTimer timer_;
};

}  // namespace vashel
