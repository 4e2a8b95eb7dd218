// The tray menu on screen: a QMenu that shows the menu model (items, texts,
// separators, check marks, in order) and hands a chosen item's command id to
// the shell. The model stays the source of truth; sync() shows it again.
#pragma once

#include <QMenu>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

#include "app/menu_model.h"

namespace vashel {

class TrayMenu {
 public:
  // `command` runs with the chosen item's id once the menu's own signal has
  // returned, so a command may change the menu; `opened` runs with true as
  // the menu shows and false as it hides.
  TrayMenu(std::function<void(int id)> command, std::function<void(bool open)> opened);
  ~TrayMenu();
  TrayMenu(const TrayMenu&) = delete;
  TrayMenu& operator=(const TrayMenu&) = delete;

  // Shows the model: marks and texts change in place; a changed list of
  // items builds the menu anew.
  void sync(const MenuModel& model);

  // Opens the menu with its bottom-left corner at a screen point, without
  // waiting for a choice.
  void popupAt(int screenX, int screenY);

  QMenu* menu() { return menu_.get(); }

 private:
  void rebuild(const MenuModel& model);

  std::unique_ptr<QMenu> menu_;
  std::function<void(int)> command_;
  std::vector<int> ids_;  // the ids shown, 0 for separators, in order
};

}  // namespace vashel
