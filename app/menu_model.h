// The tray menu as data: items by command id with their check marks. The
// toggle commands read their current value from the check mark, so the mark
// is the setting's source of truth; the Qt menus only show this model.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vashel {

// Command ids of the menus.
enum CommandId : int {
  kCmdRate10 = 40003,
  kCmdRate15 = 40004,
  kCmdRate20 = 40005,
  kCmdRate25 = 40006,
  kCmdRate30 = 40007,
  kCmdPlay = 40008,
  kCmdStop = 40009,
  kCmdExit = 40010,
  kCmdAbout = 40011,
  kCmdNoSound = 40013,
  kCmdTopMost = 40014,
  kCmdAlpha = 40015,
  kCmdMouseTrace = 40016,
  kCmdSaveSettings = 40018,
  kCmdDeleteSettings = 40019,
  kCmdSmall = 40020,
  kCmdSettingsDialog = 40021,
  kCmdStartupShortcut = 40024,
  kCmdPause = 113,
  kCmdFetchFeed = 115,
  kCmdNoConnect = 117,
};

// The state bit of a checked item.
inline constexpr unsigned kMenuChecked = 0x8;

struct MenuItem {
  int id = 0;  // 0: separator
  std::string text;  // UTF-8
  bool checked = false;
};

class MenuModel {
 public:
  MenuModel() = default;
  explicit MenuModel(std::vector<MenuItem> items) : items_(std::move(items)) {}

  // The tray menu as the program starts: about, pause and the four
  // switches, the start-up shortcut, save and delete, exit.
  static MenuModel trayMenu();

  // The item's state bits; 0 for an item the menu does not hold.
  unsigned state(int id) const;
  bool checked(int id) const { return (state(id) & kMenuChecked) != 0; }
  // Sets the mark of an item the menu holds; others are left alone.
  void setChecked(int id, bool checked);
  bool contains(int id) const { return find(id) != nullptr; }
  // Inserts before the item `beforeId` (at the end when there is none).
  void insertBefore(int beforeId, MenuItem item);

  const std::vector<MenuItem>& items() const { return items_; }

 private:
  const MenuItem* find(int id) const;
  std::vector<MenuItem> items_;
};

}  // namespace vashel
