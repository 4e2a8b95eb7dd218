// The user's settings in the settings store: loading them with the tray
// menu's check marks, and the save command's values. Value names and the
// rules for missing values are those of the stored key "Software\Vashel".
#pragma once

#include <optional>

#include "app/app_state.h"
#include "app/menu_model.h"
#include "app/ui.h"
#include "platform/settings_store.h"

namespace vashel {

// The main window's top-left on the screen.
struct WindowPosition {
  int x = 0;
  int y = 0;
};

// Reads a saved state: the switches "nosound", "mouse_trace", "alpha",
// "top_most", "small" and "no_connect", each also setting its menu item's
// mark (checked only for exactly 1, while the setting keeps the raw value);
// the mail settings "pop3host", "pop3user", "pop3pass" (missing: empty),
// "pop3interval" (missing: unchanged) and "pop3". A missing number reads as
// 0. Returns where the window stood ("winx", "winy", missing: 0); without a
// saved state nothing changes and the result is empty.
std::optional<WindowPosition> loadSettings(const SettingsStore& store, Settings& settings,
                                           MenuModel& menu);

// Reads the number `name` (0 when missing). A menu item other than 0 is
// checked when the number is exactly 1 and unchecked otherwise; the caller's
// setting takes the raw number, so a stored 2 counts as on while its item
// stays unchecked.
int readMenuSetting(const SettingsStore& store, MenuModel& menu, int menuId, const char* name);
// Saves an item's mark as 1 or 0; an item the menu does not hold saves 0.
void writeMenuSetting(SettingsStore& store, const MenuModel& menu, int menuId, const char* name);

// The save command: the six switches as their menu items show them (an item
// the menu does not hold saves 0), the window's top-left as "winx", "winy",
// and the view's pitch and yaw in degrees, truncated toward zero, as "rotx"
// and "roty". The mail settings are the settings dialog's to save.
void saveSettings(SettingsStore& store, const MenuModel& menu, WindowPosition window, double pitch,
                  double yaw);

// The save command as the menu runs it: asks first in a box owned by the
// main window, and only OK saves, from the tray menu's marks and the view.
void confirmAndSaveSettings(SettingsStore& store, Ui& ui, const AppState& state,
                            WindowPosition window);
// The delete command: asks first; OK removes every saved value. The settings
// in force stay as they are until the next start.
void confirmAndDeleteSettings(SettingsStore& store, Ui& ui);

}  // namespace vashel
