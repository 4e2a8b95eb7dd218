// Settings to and from the settings store, with the tray menu's marks.
#include "app/settings.h"

#include <cmath>
#include <cstdint>

namespace vashel {
namespace {

// The switches with their menu items, in the order they are read and saved.
struct Switch {
  int Settings::*field;
  int menuId;
  const char* name;
};
constexpr Switch kSwitches[] = {
    {&Settings::nosound, kCmdNoSound, "nosound"},
    {&Settings::mouseTrace, kCmdMouseTrace, "mouse_trace"},
    {&Settings::alpha, kCmdAlpha, "alpha"},
    {&Settings::topMost, kCmdTopMost, "top_most"},
    {&Settings::small, kCmdSmall, "small"},
    {&Settings::noConnect, kCmdNoConnect, "no_connect"},
};

int readInt(const SettingsStore& store, const char* name) {
  return static_cast<int>(store.readDword(name).value_or(0));
}

// An angle as a stored number: truncated toward zero, two's complement.
// Angles beyond the int range (the yaw is unbounded) saturate.
std::uint32_t angleValue(double degrees) {
  if (std::isnan(degrees)) return 0;
  const double t = std::trunc(degrees);
  std::int32_t value = 0;
  if (t >= 2147483647.0) {
    value = INT32_MAX;
  } else if (t <= -2147483648.0) {
    value = INT32_MIN;
  } else {
    value = static_cast<std::int32_t>(t);
  }
  return static_cast<std::uint32_t>(value);
}

constexpr char kConfirmCaption[] = "Registry";

MessageBoxOptions confirmOptions() {
  MessageBoxOptions options;
  options.buttons = MessageButtons::OkCancel;
  options.ownedByMainWindow = true;
  return options;
}

}  // namespace

int readMenuSetting(const SettingsStore& store, MenuModel& menu, int menuId, const char* name) {
  const int value = readInt(store, name);
  if (menuId != 0) menu.setChecked(menuId, value == 1);
  return value;
}

void writeMenuSetting(SettingsStore& store, const MenuModel& menu, int menuId, const char* name) {
  store.writeDword(name, menu.checked(menuId) ? 1 : 0);
}

std::optional<WindowPosition> loadSettings(const SettingsStore& store, Settings& settings,
                                           MenuModel& menu) {
  if (!store.keyExists()) return std::nullopt;
  for (const Switch& s : kSwitches) {
    settings.*s.field = readMenuSetting(store, menu, s.menuId, s.name);
  }
  settings.mailHost = store.readString("pop3host").value_or("");
  settings.mailUser = store.readString("pop3user").value_or("");
  settings.mailPassword = store.readString("pop3pass").value_or("");
  if (const auto interval = store.readDword("pop3interval")) settings.mailInterval = *interval;
  settings.checkMail = readInt(store, "pop3");
  return WindowPosition{readInt(store, "winx"), readInt(store, "winy")};
}

void saveSettings(SettingsStore& store, const MenuModel& menu, WindowPosition window, double pitch,
                  double yaw) {
  for (const Switch& s : kSwitches) writeMenuSetting(store, menu, s.menuId, s.name);
  store.writeDword("winx", static_cast<std::uint32_t>(window.x));
  store.writeDword("winy", static_cast<std::uint32_t>(window.y));
  store.writeDword("rotx", angleValue(pitch));
  store.writeDword("roty", angleValue(yaw));
}

void confirmAndSaveSettings(SettingsStore& store, Ui& ui, const AppState& state,
                            WindowPosition window) {
  if (ui.messageBox(kConfirmCaption, "希望将当前设置保留在注册表吗？", MessageIcon::None,
                    confirmOptions()) != MessageResult::Ok) {
    return;
  }
  saveSettings(store, state.trayMenu, window, state.render.view.pitch, state.render.view.yaw);
}

void confirmAndDeleteSettings(SettingsStore& store, Ui& ui) {
  if (ui.messageBox(kConfirmCaption, "确定删除注册信息吗？", MessageIcon::None, confirmOptions()) ==
      MessageResult::Ok) {
    store.deleteKey();
  }
}

}  // namespace vashel
