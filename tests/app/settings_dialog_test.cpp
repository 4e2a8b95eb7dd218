// The settings dialog's window offscreen: every control with its id, text and
// kind, the enable rule shown on the widgets, and a click reaching the logic.
#include "app/settings_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <string>

#include "qt_test_app.h"
#include "app/shell_fakes.h"

namespace vashel {
namespace {

// Only setTopMost is reached from the dialog.
class QuietPort final : public testing::QuietShellPort {
 public:
  Ui& ui() override { std::abort(); }
  std::uint32_t doubleClickTimeMs() const override { return 0; }
  void setTopMost(bool on) override { topMost = on ? 1 : 0; }
  int topMost = -1;
};

QString textOf(const QWidget* widget) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  return {};
}

TEST(SettingsDialogWindow, HoldsEveryControlWithItsIdAndText) {
  testing::ensureQtApp();
  AppState state;
  state.shell.out = std::tmpfile();
  QuietPort port;
  SettingsDialog dialog(state, port, nullptr, nullptr);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("邮件设置"));
  const struct {
    int id;
    const char* text;
  } texts[] = {{1008, "安静运行"},   {1004, "总在最前面"},  {1005, "追随鼠标"},
               {1011, "检查邮件"},   {1006, "魔法转换"},    {1007, "记住退出时的位置"},
               {1010, "任意动画"},   {1012, "POP3主机名"},  {1013, "POP3用户名"},
               {1014, "POP3密码"},   {1015, "邮件检查间隔"}, {1, "确定"},
               {2, "取消"},          {3, "从注册表删除数据"}, {5, "在注册表保留数据"},
               {4, "全部选择"}};
  for (const auto& t : texts) {
    const QWidget* widget = dialog.control(t.id);
    ASSERT_NE(widget, nullptr) << t.id;
    EXPECT_EQ(textOf(widget), QString::fromUtf8(t.text)) << t.id;
    EXPECT_EQ(widget->property("controlId").toInt(), t.id);
    EXPECT_EQ(t.id >= 1004 && t.id != 1009 && t.id <= 1011,
              qobject_cast<const QCheckBox*>(widget) != nullptr)
        << t.id;
    EXPECT_EQ(t.id <= 5, qobject_cast<const QPushButton*>(widget) != nullptr) << t.id;
  }
  for (const int id : {1001, 1002, 1003, 1009}) {
    const auto* edit = qobject_cast<const QLineEdit*>(dialog.control(id));
    ASSERT_NE(edit, nullptr) << id;
    EXPECT_EQ(edit->echoMode(), id == 1003 ? QLineEdit::Password : QLineEdit::Normal);
  }
  QStringList labels;
  for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QString::fromUtf8("秒/邮件")));
  EXPECT_TRUE(labels.contains(QString::fromUtf8("按“确定”按钮，写入注册表。")));
  EXPECT_TRUE(qobject_cast<QPushButton*>(dialog.control(1))->isDefault());
  EXPECT_EQ(dialog.control(1016), nullptr);
  std::fclose(state.shell.out);
}

TEST(SettingsDialogWindow, ClicksReachTheLogicAndOkAppliesTheBoxes) {
  testing::ensureQtApp();
  AppState state;
  state.shell.out = std::tmpfile();
  state.settings.checkMail = 0;
  state.settings.mailHost = "pop.example";
  QuietPort port;
  SettingsDialog dialog(state, port, nullptr, nullptr);
  // run() would wait for the user: fill and answer by hand instead.
  QMetaObject::invokeMethod(
      &dialog,
      [&] {
        EXPECT_EQ(qobject_cast<QLineEdit*>(dialog.control(1001))->text(), "pop.example");
        EXPECT_FALSE(dialog.control(1001)->isEnabled());
        EXPECT_FALSE(dialog.control(1012)->isEnabled());
        qobject_cast<QCheckBox*>(dialog.control(1011))->click();
        EXPECT_TRUE(dialog.control(1001)->isEnabled());
        EXPECT_TRUE(dialog.control(1015)->isEnabled());
        qobject_cast<QCheckBox*>(dialog.control(1004))->click();
        qobject_cast<QLineEdit*>(dialog.control(1001))->setText("mail.example");
        qobject_cast<QPushButton*>(dialog.control(1))->click();
      },
      Qt::QueuedConnection);
  dialog.run();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(state.settings.checkMail, 1);
  EXPECT_EQ(state.settings.topMost, 1);
  EXPECT_EQ(port.topMost, 1);
  EXPECT_EQ(state.settings.mailHost, "mail.example");
  std::fclose(state.shell.out);
}

}  // namespace
}  // namespace vashel
