// Message boxes with QMessageBox.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/ui.h"

namespace vashel {

class QtUi final : public Ui {
 public:
  // The window that boxes with ownedByMainWindow belong to; may be null or
  // go away, then such boxes have no owner.
  void setMainWindow(QWidget* window) { mainWindow_ = window; }

  MessageResult messageBox(std::string_view caption, std::string_view text,
                           MessageIcon icon = MessageIcon::None,
                           MessageBoxOptions options = {}) override;

 private:
  MessageResult showOnMainThread(const QString& caption, const QString& text, MessageIcon icon,
                                 MessageBoxOptions options);

  QPointer<QWidget> mainWindow_;
};

}  // namespace vashel
