// The tray menu's items and check marks.
#include "app/menu_model.h"

#include <algorithm>

namespace vashel {

MenuModel MenuModel::trayMenu() {
  return MenuModel({
      {kCmdAbout, "关于...", false},
      {0, "", false},
      {kCmdPause, "暂停", false},
      {kCmdNoSound, "安静运行", false},
      {kCmdTopMost, "总在最前面", false},
      {kCmdAlpha, "半透明", false},
      {kCmdMouseTrace, "追随鼠标", false},
      {0, "", false},
      {kCmdStartupShortcut, "快捷方式注册/删除", false},
      {kCmdSaveSettings, "保存当前状态到注册表", false},
      {kCmdDeleteSettings, "删除注册信息", false},
      {0, "", false},
      {kCmdExit, "退出", false},
  });
}

const MenuItem* MenuModel::find(int id) const {
  if (id == 0) return nullptr;  // separators are not items
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [id](const MenuItem& item) { return item.id == id; });
  return it == items_.end() ? nullptr : &*it;
}

unsigned MenuModel::state(int id) const {
  const MenuItem* item = find(id);
  return item != nullptr && item->checked ? kMenuChecked : 0u;
}

void MenuModel::setChecked(int id, bool checked) {
  if (MenuItem* item = const_cast<MenuItem*>(find(id))) item->checked = checked;
}

void MenuModel::insertBefore(int beforeId, MenuItem item) {
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [beforeId](const MenuItem& m) { return m.id == beforeId && m.id != 0; });
  items_.insert(it, std::move(item));
}

}  // namespace vashel
