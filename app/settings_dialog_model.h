// The settings dialog's logic without its window: which controls it fills and
// enables, what each button does to the settings and the saved state, and the
// lines it prints. The dialog edits a working copy; OK makes it the settings
// in force, and the keep button saves the settings in force (not the copy).
#pragma once

#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/settings.h"
#include "app/ui.h"
#include "platform/settings_store.h"

namespace vashel {

// Control ids of the dialog.
enum SettingsControlId : int {
  kDlgOk = 1,
  kDlgCancel = 2,
  kDlgDeleteSaved = 3,
  kDlgSelectAll = 4,
  kDlgKeepSaved = 5,
  kDlgMailHost = 1001,
  kDlgMailUser = 1002,
  kDlgMailPassword = 1003,
  kDlgTopMost = 1004,
  kDlgMouseTrace = 1005,
  kDlgAlpha = 1006,
  kDlgRememberPosition = 1007,
  kDlgNoSound = 1008,
  kDlgMailInterval = 1009,
  kDlgRandom = 1010,
  kDlgCheckMail = 1011,
  kDlgMailHostLabel = 1012,
  kDlgMailUserLabel = 1013,
  kDlgMailPasswordLabel = 1014,
  kDlgMailIntervalLabel = 1015,
};

// The controls that follow the "check mail" box.
inline constexpr int kDlgMailControls[] = {kDlgMailHostLabel, kDlgMailUserLabel,
                                           kDlgMailPasswordLabel, kDlgMailIntervalLabel,
                                           kDlgMailHost, kDlgMailUser, kDlgMailPassword,
                                           kDlgMailInterval};

// The dialog window and the main window it belongs to, as the logic uses
// them. Texts are UTF-8.
class SettingsDialogView {
 public:
  virtual ~SettingsDialogView() = default;
  virtual bool checked(int id) const = 0;
  virtual void setChecked(int id, bool on) = 0;
  virtual std::string text(int id) const = 0;
  virtual void setText(int id, std::string_view text) = 0;
  virtual void setEnabled(int id, bool on) = 0;
  // Ends the dialog.
  virtual void close() = 0;
  // The main window to the top of the stacking order, without moving it.
  virtual void raiseMainWindow() = 0;
  virtual void setMainWindowTopMost(bool on) = 0;
  virtual WindowPosition mainWindowPosition() const = 0;
};

class SettingsDialogModel {
 public:
  // `store` null: nothing is saved or deleted. `ui` shows the confirmation
  // boxes; they belong to the dialog.
  SettingsDialogModel(AppState& state, SettingsStore* store, Ui& ui, SettingsDialogView& view);

  // Copies the settings in force, checks and fills the controls from them and
  // enables the mail controls only for a "check mail" of exactly 1.
  void open();
  // A click on a button or check box `id`. Returns false for a control that
  // does nothing (the select-all button, the edits).
  bool command(int id);

  const Settings& workingCopy() const { return copy_; }

 private:
  void setMailControlsEnabled(bool on);
  void apply();
  void keepSaved();
  // Reads the mail edits into the settings in force.
  void readMailEdits();

  AppState& state_;
  SettingsStore* store_;
  Ui& ui_;
  SettingsDialogView& view_;
  Settings copy_;
};

// An edit's text as the unsigned number it holds: decimal digits, with spaces
// around them; anything else, or a number beyond 32 bits, is 0.
std::uint32_t parseUnsignedEntry(std::string_view text);

}  // namespace vashel
