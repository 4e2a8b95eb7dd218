// Settings to and from the store with the tray menu's marks: a missing saved
// state, the missing-value rules, marks only for exactly 1, and the save
// command's values.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vashel {
namespace {

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

}  // namespace
}  // namespace vashel
