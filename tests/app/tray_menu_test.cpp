// The tray menu on screen against its model: items and separators in order,
// the feed item's place, marks that follow the commands, and chosen items
// reaching the command handler by id.
#include "app/tray_menu.h"

#include <gtest/gtest.h>

#include <QAction>

#include <vector>

#include "app/shell.h"
#include "qt_test_app.h"
#include "app/shell_fakes.h"

namespace vashel {
namespace {

struct Shown {
  int items = 0;
  int separators = 0;
  std::vector<QString> texts;  // "-" for a separator
};

Shown shown(QMenu& menu) {
  Shown s;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      ++s.separators;
      s.texts.push_back(QStringLiteral("-"));
    } else {
      ++s.items;
      s.texts.push_back(action->text());
    }
  }
  return s;
}

QAction* actionWithText(QMenu& menu, const char* text) {
  for (QAction* action : menu.actions()) {
    if (action->text() == QString::fromUtf8(text)) return action;
  }
  return nullptr;
}

class TrayMenuTest : public ::testing::Test {
 protected:
  // Before the fixture's menu is made.
  static void SetUpTestSuite() { testing::ensureQtApp(); }
  std::vector<int> chosen_;
  std::vector<bool> opened_;
  TrayMenu menu_{[this](int id) { chosen_.push_back(id); },
                 [this](bool open) { opened_.push_back(open); }};
};

TEST_F(TrayMenuTest, ShowsTenItemsAndThreeSeparatorsInOrderWithoutAFeed) {
  menu_.sync(MenuModel::trayMenu());
  const Shown s = shown(*menu_.menu());
  EXPECT_EQ(s.items, 10);
  EXPECT_EQ(s.separators, 3);
  const std::vector<QString> expected = {
      "关于...", "-", "暂停", "安静运行", "总在最前面", "半透明", "追随鼠标", "-",
      "快捷方式注册/删除", "保存当前状态到注册表", "删除注册信息", "-", "退出"};
  EXPECT_EQ(s.texts, expected);
  for (const QAction* action : menu_.menu()->actions()) {
    EXPECT_FALSE(action->isChecked()) << action->text().toStdString();
  }
}

TEST_F(TrayMenuTest, TheFeedItemStandsDirectlyAboveSave) {
  MenuModel model = MenuModel::trayMenu();
  menu_.sync(model);
  model.insertBefore(kCmdSaveSettings, {kCmdFetchFeed, "RSSサーバへ直ちに接続", false});
  menu_.sync(model);
  const Shown s = shown(*menu_.menu());
  EXPECT_EQ(s.items, 11);
  EXPECT_EQ(s.separators, 3);
  ASSERT_EQ(s.texts.size(), 14u);
  EXPECT_EQ(s.texts[8], "快捷方式注册/删除");
  EXPECT_EQ(s.texts[9], "RSSサーバへ直ちに接続");
  EXPECT_EQ(s.texts[10], "保存当前状态到注册表");
}

TEST_F(TrayMenuTest, ChosenItemsReachTheCommandsByIdAfterTheirSignal) {
  menu_.sync(MenuModel::trayMenu());
  actionWithText(*menu_.menu(), "退出")->trigger();
  EXPECT_TRUE(chosen_.empty()) << "the command runs once the menu's signal has returned";
  QCoreApplication::processEvents();
  actionWithText(*menu_.menu(), "关于...")->trigger();
  QCoreApplication::processEvents();
  EXPECT_EQ(chosen_, (std::vector<int>{kCmdExit, kCmdAbout}));
}

// A port that shows every menu change on the real menu, as the program does.
class MenuPort final : public testing::QuietShellPort {
 public:
  MenuPort(AppState& state, TrayMenu& menu) : state_(state), menu_(menu) {}
  void menuChanged() override { menu_.sync(state_.trayMenu); }
  Ui& ui() override { std::abort(); }

 private:
  AppState& state_;
  TrayMenu& menu_;
};

TEST_F(TrayMenuTest, TogglesFlipTheShownMarks) {
  AppState state;
  std::FILE* sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  state.shell.out = sink;
  TrayMenu menu([&](int id) { chosen_.push_back(id); }, nullptr);
  MenuPort port(state, menu);
  menu.sync(state.trayMenu);
  const char* toggles[] = {"安静运行", "总在最前面", "半透明", "追随鼠标"};
  const int ids[] = {kCmdNoSound, kCmdTopMost, kCmdAlpha, kCmdMouseTrace};
  for (int i = 0; i < 4; ++i) {
    handleCommand(state, port, ids[i]);
    EXPECT_TRUE(actionWithText(*menu.menu(), toggles[i])->isChecked()) << toggles[i];
  }
  handleCommand(state, port, kCmdAlpha);
  EXPECT_FALSE(actionWithText(*menu.menu(), "半透明")->isChecked());
  EXPECT_TRUE(actionWithText(*menu.menu(), "追随鼠标")->isChecked());
  setPaused(state, port, true);
  EXPECT_TRUE(actionWithText(*menu.menu(), "暂停")->isChecked());

  // A choice made on the menu goes through the command to the mark.
  QAction* topMost = actionWithText(*menu.menu(), "总在最前面");
  topMost->trigger();
  QCoreApplication::processEvents();
  ASSERT_EQ(chosen_, std::vector<int>{kCmdTopMost});
  handleCommand(state, port, chosen_.back());
  EXPECT_FALSE(topMost->isChecked());
  EXPECT_FALSE(state.trayMenu.checked(kCmdTopMost));
  std::fclose(sink);
}

TEST_F(TrayMenuTest, ReportsWhileOpen) {
  menu_.sync(MenuModel::trayMenu());
  menu_.popupAt(100, 400);
  EXPECT_TRUE(QTest::qWaitFor([&] { return menu_.menu()->isVisible(); }, 2000));
  menu_.menu()->hide();
  EXPECT_EQ(opened_, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace vashel
