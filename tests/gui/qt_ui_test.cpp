// Message boxes through the Ui interface: buttons, results, owner, and calls
// from a worker thread.
#include "app/qt_ui.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>
#include <thread>

namespace vashel {
namespace {

struct SeenBox {
  bool seen = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  QWidget* parent = nullptr;
  bool topMost = false;
  QThread* thread = nullptr;
};

// Waits for the next box, notes what it shows and answers it with `answer`.
void answerNextBox(SeenBox& seen, std::function<void(QMessageBox&)> answer) {
  auto* poll = new QTimer;
  auto* ticks = new int(0);
  QObject::connect(poll, &QTimer::destroyed, [ticks] { delete ticks; });
  QObject::connect(poll, &QTimer::timeout, [poll, ticks, &seen, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (++*ticks > 150) {  // no box came: stop before `seen` goes away
        poll->stop();
        poll->deleteLater();
      }
      return;
    }
    seen.seen = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
    seen.parent = box->parentWidget();
    seen.topMost = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    seen.thread = box->thread();
    poll->stop();
    poll->deleteLater();
    answer(*box);
  });
  poll->start(30);
}

void press(QMessageBox& box, QMessageBox::StandardButton which) { box.button(which)->click(); }

TEST(QtUi, ShowsTheTextsAndReturnsThePressedButton) {
  QtUi ui;
  SeenBox seen;
  answerNextBox(seen, [](QMessageBox& box) { press(box, QMessageBox::Cancel); });
  const MessageResult result = ui.messageBox("Registry", "确定删除注册信息吗？", MessageIcon::Question,
                                             {.buttons = MessageButtons::OkCancel});
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(result, MessageResult::Cancel);
  EXPECT_EQ(seen.title, "Registry");
  EXPECT_EQ(seen.text, QString::fromUtf8("确定删除注册信息吗？"));
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, 2);

  SeenBox second;
  answerNextBox(second, [](QMessageBox& box) { press(box, QMessageBox::Ok); });
  EXPECT_EQ(ui.messageBox("Registry", "?", MessageIcon::None, {.buttons = MessageButtons::OkCancel}),
            MessageResult::Ok);
}

TEST(QtUi, EscapeCancelsOrAcknowledges) {
  QtUi ui;
  SeenBox a, b;
  answerNextBox(a, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(ui.messageBox("c", "t", MessageIcon::None, {.buttons = MessageButtons::OkCancel}),
            MessageResult::Cancel);
  answerNextBox(b, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
  EXPECT_EQ(ui.messageBox("POP3 NOTIFY", "新着メールあり！！"), MessageResult::Ok);
  EXPECT_EQ(b.buttons, 1);
  EXPECT_EQ(b.icon, QMessageBox::NoIcon);
}

TEST(QtUi, OwnerAndTopMostFollowTheOptions) {
  QtUi ui;
  QWidget mainWindow;
  mainWindow.show();
  ui.setMainWindow(&mainWindow);
  SeenBox owned, free;
  answerNextBox(owned, [](QMessageBox& box) { box.accept(); });
  ui.messageBox("PLAYSTAT", "[ANIM No.] 001", MessageIcon::Information,
                {.ownedByMainWindow = true});
  EXPECT_EQ(owned.parent, &mainWindow);
  EXPECT_FALSE(owned.topMost);
  answerNextBox(free, [](QMessageBox& box) { box.accept(); });
  ui.messageBox("ERROR", "ファイル読み込み時にエラー発生", MessageIcon::None, {.topMost = true});
  EXPECT_EQ(free.parent, nullptr);
  EXPECT_TRUE(free.topMost);
}

TEST(QtUi, BoxFromAWorkerThreadRunsOnTheMainThread) {
  QtUi ui;
  SeenBox seen;
  answerNextBox(seen, [](QMessageBox& box) { press(box, QMessageBox::Ok); });
  std::atomic<bool> done{false};
  MessageResult result = MessageResult::Cancel;
  std::thread worker([&] {
    result = ui.messageBox("Vashel Error", "URLが間違っているようです", MessageIcon::None,
                           {.buttons = MessageButtons::OkCancel});
    done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_EQ(result, MessageResult::Ok);
  EXPECT_EQ(seen.thread, QApplication::instance()->thread());
  EXPECT_EQ(seen.text, QString::fromUtf8("URLが間違っているようです"));
}

}  // namespace
}  // namespace vashel
