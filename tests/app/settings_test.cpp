// Settings to and from the store with the tray menu's marks: a missing saved
// state, the missing-value rules, marks only for exactly 1, and the save
// command's values; the save and delete commands with their confirmation.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vashel {
namespace {

// Answers every box with `answer` and keeps what it was asked.
class AnsweringUi final : public Ui {
 public:
  struct Box {
    std::string caption;
    std::string text;
    MessageBoxOptions options;
  };
  MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon /*icon*/,
                           MessageBoxOptions options) override {
    boxes.push_back({std::string(caption), std::string(text), options});
    return answer;
  }
  MessageResult answer = MessageResult::Cancel;
  std::vector<Box> boxes;
};

void expectConfirmation(const AnsweringUi& ui, const char* text) {
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, "Registry");
  EXPECT_EQ(ui.boxes[0].text, text);
  EXPECT_EQ(ui.boxes[0].options.buttons, MessageButtons::OkCancel);
  EXPECT_TRUE(ui.boxes[0].options.ownedByMainWindow);
}

// Every field set to a value no load would produce, so untouched ones show.
Settings junkSettings() {
  Settings s;
  s.nosound = s.topMost = s.alpha = s.mouseTrace = s.small = s.noConnect = s.checkMail = 77;
  s.mailHost = s.mailUser = s.mailPassword = "junk";
  s.mailInterval = 600;
  return s;
}

TEST(LoadSettings, WithoutASavedStateChangesNothing) {
  MemorySettingsStore store;
  Settings settings = junkSettings();
  MenuModel menu = MenuModel::trayMenu();
  menu.setChecked(kCmdNoSound, true);
  EXPECT_FALSE(loadSettings(store, settings, menu).has_value());
  EXPECT_EQ(settings.nosound, 77);
  EXPECT_EQ(settings.mailHost, "junk");
  EXPECT_TRUE(menu.checked(kCmdNoSound));
}

TEST(LoadSettings, MissingValuesReadAsZeroOrEmptyAndTheIntervalStays) {
  MemorySettingsStore store;
  store.writeDword("unrelated", 5);  // the key exists, the values do not
  Settings settings = junkSettings();
  MenuModel menu = MenuModel::trayMenu();
  menu.setChecked(kCmdTopMost, true);
  const auto position = loadSettings(store, settings, menu);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->x, 0);
  EXPECT_EQ(position->y, 0);
  for (const int value : {settings.nosound, settings.topMost, settings.alpha, settings.mouseTrace,
                          settings.small, settings.noConnect, settings.checkMail}) {
    EXPECT_EQ(value, 0);
  }
  EXPECT_EQ(settings.mailHost, "");
  EXPECT_EQ(settings.mailUser, "");
  EXPECT_EQ(settings.mailPassword, "");
  EXPECT_EQ(settings.mailInterval, 600u);
  EXPECT_FALSE(menu.checked(kCmdTopMost));
}

TEST(LoadSettings, MarksOnlyForExactlyOneWhileTheSettingKeepsTheRawValue) {
  MemorySettingsStore store;
  store.writeDword("nosound", 1);
  store.writeDword("top_most", 2);
  store.writeDword("mouse_trace", 1);
  store.writeDword("alpha", 0);
  store.writeDword("small", 1);
  store.writeDword("no_connect", 3);
  store.writeDword("pop3", 1);
  store.writeDword("pop3interval", 45);
  store.writeString("pop3host", "mail.example");
  store.writeString("pop3user", "me");
  store.writeString("pop3pass", "secret");
  store.writeDword("winx", static_cast<std::uint32_t>(-30));
  store.writeDword("winy", 700);
  Settings settings = junkSettings();
  MenuModel menu = MenuModel::trayMenu();
  menu.setChecked(kCmdAlpha, true);
  const auto position = loadSettings(store, settings, menu);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->x, -30);
  EXPECT_EQ(position->y, 700);
  EXPECT_EQ(settings.nosound, 1);
  EXPECT_EQ(settings.topMost, 2);
  EXPECT_EQ(settings.mouseTrace, 1);
  EXPECT_EQ(settings.alpha, 0);
  EXPECT_EQ(settings.small, 1);
  EXPECT_EQ(settings.noConnect, 3);
  EXPECT_EQ(settings.checkMail, 1);
  EXPECT_EQ(settings.mailInterval, 45u);
  EXPECT_EQ(settings.mailHost, "mail.example");
  EXPECT_EQ(settings.mailUser, "me");
  EXPECT_EQ(settings.mailPassword, "secret");
  EXPECT_TRUE(menu.checked(kCmdNoSound));
  EXPECT_FALSE(menu.checked(kCmdTopMost)) << "2 counts as on but is not checked";
  EXPECT_TRUE(menu.checked(kCmdMouseTrace));
  EXPECT_FALSE(menu.checked(kCmdAlpha));
}

TEST(SaveSettings, SwitchesComeFromTheMarksAndItemsTheMenuLacksSaveZero) {
  MemorySettingsStore store;
  MenuModel menu = MenuModel::trayMenu();
  menu.setChecked(kCmdNoSound, true);
  menu.setChecked(kCmdAlpha, true);
  saveSettings(store, menu, {-5, 40}, 0.0, 0.0);
  EXPECT_EQ(store.readDword("nosound"), 1u);
  EXPECT_EQ(store.readDword("alpha"), 1u);
  EXPECT_EQ(store.readDword("top_most"), 0u);
  EXPECT_EQ(store.readDword("mouse_trace"), 0u);
  // The tray menu holds no items for these, whatever the settings say.
  EXPECT_EQ(store.readDword("small"), 0u);
  EXPECT_EQ(store.readDword("no_connect"), 0u);
  EXPECT_EQ(store.readDword("winx"), static_cast<std::uint32_t>(-5));
  EXPECT_EQ(store.readDword("winy"), 40u);
  // Only the dialog saves the mail settings.
  EXPECT_FALSE(store.readDword("pop3").has_value());
  EXPECT_FALSE(store.readString("pop3host").has_value());

  // What was saved loads back with the same marks and place.
  Settings settings = junkSettings();
  MenuModel loaded = MenuModel::trayMenu();
  const auto position = loadSettings(store, settings, loaded);
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->x, -5);
  EXPECT_EQ(position->y, 40);
  for (const MenuItem& item : menu.items()) EXPECT_EQ(loaded.checked(item.id), item.checked) << item.id;
}

TEST(SaveSettings, ViewAnglesAreTruncatedTowardZero) {
  MemorySettingsStore store;
  const MenuModel menu = MenuModel::trayMenu();
  saveSettings(store, menu, {}, -12.7, 359.9);
  EXPECT_EQ(store.readDword("rotx"), static_cast<std::uint32_t>(-12));
  EXPECT_EQ(store.readDword("roty"), 359u);
  // The yaw is unbounded: beyond the int range it saturates instead of wrapping.
  saveSettings(store, menu, {}, std::nan(""), -1e12);
  EXPECT_EQ(store.readDword("rotx"), 0u);
  EXPECT_EQ(store.readDword("roty"), static_cast<std::uint32_t>(INT32_MIN));
}

TEST(SaveCommand, AsksFirstAndSavesTheMarksWhateverTheSettingsSay) {
  AppState state;
  state.settings.small = 1;
  state.settings.noConnect = 1;
  state.settings.topMost = 2;  // on, but its item is unchecked
  state.trayMenu.setChecked(kCmdNoSound, true);
  state.render.view.pitch = 12.9;
  state.render.view.yaw = -400.5;
  MemorySettingsStore store;
  AnsweringUi ui;
  confirmAndSaveSettings(store, ui, state, {7, 8});
  expectConfirmation(ui, "希望将当前设置保留在注册表吗？");
  EXPECT_FALSE(store.keyExists()) << "Cancel saves nothing";

  ui = AnsweringUi();
  ui.answer = MessageResult::Ok;
  confirmAndSaveSettings(store, ui, state, {7, 8});
  expectConfirmation(ui, "希望将当前设置保留在注册表吗？");
  EXPECT_EQ(store.readDword("small"), 0u);
  EXPECT_EQ(store.readDword("no_connect"), 0u);
  EXPECT_EQ(store.readDword("top_most"), 0u);
  EXPECT_EQ(store.readDword("nosound"), 1u);
  EXPECT_EQ(store.readDword("winx"), 7u);
  EXPECT_EQ(store.readDword("winy"), 8u);
  EXPECT_EQ(store.readDword("rotx"), 12u);
  EXPECT_EQ(store.readDword("roty"), static_cast<std::uint32_t>(-400));
}

TEST(DeleteCommand, AsksFirstAndTheNextStartFindsNoSavedState) {
  MemorySettingsStore store;
  MenuModel marked = MenuModel::trayMenu();
  marked.setChecked(kCmdTopMost, true);
  saveSettings(store, marked, {300, 200}, 0.0, 0.0);
  AnsweringUi ui;
  confirmAndDeleteSettings(store, ui);
  expectConfirmation(ui, "确定删除注册信息吗？");
  EXPECT_TRUE(store.keyExists()) << "Cancel deletes nothing";

  ui = AnsweringUi();
  ui.answer = MessageResult::Ok;
  confirmAndDeleteSettings(store, ui);
  expectConfirmation(ui, "确定删除注册信息吗？");
  // The next start: no position (the default place) and the default settings.
  AppState next;
  EXPECT_FALSE(loadSettings(store, next.settings, next.trayMenu).has_value());
  EXPECT_EQ(next.settings.topMost, 0);
  EXPECT_FALSE(next.trayMenu.checked(kCmdTopMost));
}

}  // namespace
}  // namespace vashel
