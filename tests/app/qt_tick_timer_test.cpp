// The precise one-shot tick: once per arm, replaced by a later arm, always
// on the main thread.
#include "app/qt_tick_timer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <thread>
#include <vector>

#include "qt_test_app.h"

namespace vashel {
namespace {

class QtTickTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureQtApp(); }
};

TEST_F(QtTickTimerTest, FiresOnceAfterTheDelay) {
  int ticks = 0;
  qint64 firedAfter = -1;
  QElapsedTimer clock;
  QtTickTimer timer([&] {
    ++ticks;
    firedAfter = clock.elapsed();
  });
  clock.start();
  timer.armTick(40);
  EXPECT_TRUE(timer.pending());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > 0; }, 2000));
  EXPECT_GE(firedAfter, 39);  // precise timers may round to the millisecond
  QTest::qWait(100);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timer.pending());
}

TEST_F(QtTickTimerTest, ArmingAgainReplacesThePendingTick) {
  int ticks = 0;
  QtTickTimer timer([&] { ++ticks; });
  timer.armTick(30);
  timer.armTick(60);
  timer.armTick(10);
  QTest::qWait(200);
  EXPECT_EQ(ticks, 1);
}

TEST_F(QtTickTimerTest, CancelDropsThePendingTick) {
  int ticks = 0;
  QtTickTimer timer([&] { ++ticks; });
  timer.armTick(20);
  timer.cancel();
  QTest::qWait(80);
  EXPECT_EQ(ticks, 0);
}

TEST_F(QtTickTimerTest, ArmedFromAnotherThreadTicksOnTheMainThread) {
  std::vector<QThread*> tickThreads;
  QtTickTimer timer([&] { tickThreads.push_back(QThread::currentThread()); });
  std::thread other([&] { timer.armTick(5); });
  other.join();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !tickThreads.empty(); }, 1000));
  EXPECT_EQ(tickThreads.front(), QCoreApplication::instance()->thread());
}

}  // namespace
}  // namespace vashel
