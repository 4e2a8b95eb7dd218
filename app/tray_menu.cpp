// The tray menu as a QMenu over the menu model.
#include "app/tray_menu.h"

#include <QAction>
#include <QTimer>

#include <algorithm>

namespace vashel {
namespace {

// Items whose mark mirrors a setting; others show a mark only when the model
// gives one.
bool togglesMark(int id) {
  return id == kCmdPause || id == kCmdNoSound || id == kCmdTopMost || id == kCmdAlpha ||
         id == kCmdMouseTrace;
}

void show(QAction* action, const MenuItem& item) {
  action->setText(QString::fromUtf8(item.text));
  action->setCheckable(togglesMark(item.id) || item.checked);
  action->setChecked(item.checked);
}

}  // namespace

TrayMenu::TrayMenu(std::function<void(int id)> command, std::function<void(bool open)> opened)
    : menu_(std::make_unique<QMenu>()), command_(std::move(command)) {
  if (opened) {
    QObject::connect(menu_.get(), &QMenu::aboutToShow, menu_.get(), [opened] { opened(true); });
    QObject::connect(menu_.get(), &QMenu::aboutToHide, menu_.get(), [opened] { opened(false); });
  }
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::sync(const MenuModel& model) {
  const auto& items = model.items();
  const bool sameItems = std::equal(items.begin(), items.end(), ids_.begin(), ids_.end(),
                                    [](const MenuItem& item, int id) { return item.id == id; });
  if (!sameItems) {
    rebuild(model);
    return;
  }
  const QList<QAction*> actions = menu_->actions();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].id != 0) show(actions[static_cast<qsizetype>(i)], items[i]);
  }
}

void TrayMenu::rebuild(const MenuModel& model) {
  // Actions go later: sync may run while one of them is still signalling.
  for (QAction* action : menu_->actions()) {
    menu_->removeAction(action);
    action->deleteLater();
  }
  ids_.clear();
  for (const MenuItem& item : model.items()) {
    ids_.push_back(item.id);
    if (item.id == 0) {
      menu_->addSeparator();
      continue;
    }
    QAction* action = menu_->addAction(QString());
    show(action, item);
    const int id = item.id;
    // Queued: the command runs after the menu has closed and its signal has
    // returned, so it may show boxes or change the menu.
    QObject::connect(action, &QAction::triggered, menu_.get(),
                     [this, id] { QTimer::singleShot(0, menu_.get(), [this, id] { command_(id); }); });
  }
}

void TrayMenu::popupAt(int screenX, int screenY) {
  const QSize size = menu_->sizeHint();
  menu_->popup(QPoint(screenX, screenY - size.height()));
}

}  // namespace vashel
