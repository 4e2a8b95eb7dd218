// The settings dialog ("邮件设置") as a modal Qt dialog over
// SettingsDialogModel: its switches, the mail account and the buttons that
// keep or delete the saved state.
#pragma once

#include <QDialog>
#include <QPointer>

#include <map>

#include "app/qt_ui.h"
#include "app/settings_dialog_model.h"
#include "app/shell.h"

namespace vashel {

class DesktopWindow;

class SettingsDialog final : public QDialog, private SettingsDialogView {
 public:
  // `mainWindow` may be null (then nothing is raised and the saved top-left
  // is 0, 0); `store` null saves and deletes nothing.
  SettingsDialog(AppState& state, ShellPort& port, SettingsStore* store,
                 DesktopWindow* mainWindow);

  // Fills the controls from the settings in force and runs the dialog until
  // OK or Cancel ends it.
  void run();
  // The control with a dialog id (1 to 5, 1001 to 1015), or null.
  QWidget* control(int id) const;

 protected:
  // Escape and the window's close button count as Cancel.
  void reject() override;

 private:
  bool checked(int id) const override;
  void setChecked(int id, bool on) override;
  std::string text(int id) const override;
  void setText(int id, std::string_view text) override;
  void setEnabled(int id, bool on) override;
  void close() override;
  void raiseMainWindow() override;
  void setMainWindowTopMost(bool on) override;
  WindowPosition mainWindowPosition() const override;

  void build();
  template <typename Widget>
  Widget* add(int id, Widget* widget);

  ShellPort& port_;
  QPointer<DesktopWindow> mainWindow_;
  QtUi ui_;  // confirmation boxes on this dialog
  std::map<int, QWidget*> controls_;
  SettingsDialogModel model_;
};

}  // namespace vashel
