// The loading-progress dialog over a worker thread: what it shows, when it
// ends, what it prints, and a worker that fails or asks for a message box.
#include "app/loading_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/qt_ui.h"

namespace vashel {
namespace {

using namespace std::chrono_literals;

QDialog* visibleDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

// Looks at the dialog from the main thread while it runs.
struct Observation {
  bool seen = false;
  int barValue = -1;
  QString title;
  QRect geometry;
};

// `scope` ends the timer with the test that set it.
void observeAt(int ms, Observation& seen, QObject& scope) {
  QTimer::singleShot(ms, &scope, [&seen] {
    QDialog* dialog = visibleDialog();
    if (dialog == nullptr) return;
    seen.seen = true;
    seen.title = dialog->windowTitle();
    seen.geometry = dialog->geometry();
    if (auto* bar = dialog->findChild<QProgressBar*>()) seen.barValue = bar->value();
  });
}

TEST(LoadingDialog, FollowsTheProgressAndEndsWithTheLoading) {
  std::atomic<int> progress{0}, state{0};
  QObject scope;
  Observation early;
  observeAt(350, early, scope);
  QElapsedTimer clock;
  std::atomic<qint64> endedAt{-1};
  ::testing::internal::CaptureStdout();
  clock.start();
  runLoadingDialog(progress, state, [&] {
    progress = 40;
    std::this_thread::sleep_for(600ms);
    progress = 100;
    endedAt = clock.elapsed();
    state = -1;
  });
  const qint64 returnedAt = clock.elapsed();
  const std::string out = ::testing::internal::GetCapturedStdout();

  ASSERT_TRUE(early.seen);
  EXPECT_EQ(early.barValue, 40);
  EXPECT_EQ(early.title, "Vashel");
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(early.geometry.x(), (screen.width() - early.geometry.width()) / 2);
  EXPECT_EQ(early.geometry.y(), (screen.height() - early.geometry.height()) / 2);
  // Polled every 100 ms: ends soon after the loader says so.
  EXPECT_LE(returnedAt - endedAt, 300);
  const std::string shown = "スタートアップダイアログ, ww=" + std::to_string(early.geometry.width()) +
                            ", hh=" + std::to_string(early.geometry.height()) + "\n";
  EXPECT_EQ(out, shown + "続きです\n");
  EXPECT_EQ(visibleDialog(), nullptr);
}

TEST(LoadingDialog, EscapeDoesNotEndIt) {
  std::atomic<int> progress{0}, state{0};
  bool stillOpen = false;
  QObject scope;
  QTimer::singleShot(200, &scope, [] {
    if (QDialog* dialog = visibleDialog()) QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QTimer::singleShot(400, &scope, [&] { stillOpen = visibleDialog() != nullptr; });
  ::testing::internal::CaptureStdout();
  runLoadingDialog(progress, state, [&] {
    std::this_thread::sleep_for(600ms);
    state = -1;
  });
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(stillOpen);
}

TEST(LoadingDialog, EndsWhenTheWorkReturnsWithoutSayingSo) {
  std::atomic<int> progress{0}, state{0};
  bool rescued = false;
  QObject scope;
  // Should the dialog wait for the flag alone, end it late rather than hang.
  QTimer::singleShot(3000, &scope, [&] {
    rescued = visibleDialog() != nullptr;
    state = -1;
  });
  QElapsedTimer clock;
  clock.start();
  ::testing::internal::CaptureStdout();
  runLoadingDialog(progress, state, [] { std::this_thread::sleep_for(100ms); });
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(rescued);
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_NE(out.find("続きです\n"), std::string::npos);
  EXPECT_EQ(state.load(), 0);  // the loader's flag is the loader's
}

TEST(LoadingDialog, WorkersExceptionArrivesAfterTheDialogEnds) {
  std::atomic<int> progress{0}, state{0};
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(runLoadingDialog(progress, state, [] { throw std::runtime_error("broken scene"); }),
               std::runtime_error);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("続きです\n"), std::string::npos);
  EXPECT_EQ(visibleDialog(), nullptr);
}

TEST(LoadingDialog, WorkerMayShowAMessageBoxAfterTheLoadEnds) {
  // The loader marks the end, then reports a problem in a box: the main
  // thread must still serve it rather than wait for the worker blindly.
  std::atomic<int> progress{0}, state{0};
  QtUi ui;
  MessageResult answer = MessageResult::Cancel;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
  });
  closer.start(100);
  ::testing::internal::CaptureStdout();
  runLoadingDialog(progress, state, [&] {
    state = -1;
    std::this_thread::sleep_for(300ms);  // the dialog has gone by now
    answer = ui.messageBox("MessageFile", "text", MessageIcon::Error);
  });
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(answer, MessageResult::Ok);
}

}  // namespace
}  // namespace vashel
