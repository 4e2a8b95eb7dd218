// The shell's handlers: mouse gestures, debug keys, menu commands and the
// mail notice, as free functions over AppState. The desktop side they act on
// (the window, dialogs, the frame) is reached through ShellPort, so tests
// drive the handlers without a display.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/ui.h"
#include "app/window_input.h"

namespace vashel {

// Every method is the program's to implement: a feature that has not landed
// yet says so (NotBuiltNotice) rather than doing nothing without a sign.
class ShellPort {
 public:
  virtual ~ShellPort() = default;

  // Renders a frame now (the frame routine with its schedule-next flag).
  virtual void renderFrame(bool scheduleNext) = 0;
  virtual Ui& ui() = 0;
  virtual std::uint32_t doubleClickTimeMs() const = 0;

  virtual void moveWindow(int x, int y) = 0;
  virtual void showWindow(bool visible) = 0;
  virtual void setTopMost(bool on) = 0;
  virtual void quit() = 0;
  virtual void removeTrayIcon() = 0;
  // The tray menu's marks changed: show them.
  virtual void menuChanged() = 0;
  // The refresh-rate popup at a screen point, `rateItem` checked; returns the
  // chosen command id or 0.
  virtual int popupRateMenu(int screenX, int screenY, int rateItem) = 0;

  // Commands whose work lives elsewhere in the program.
  virtual void aboutBox() = 0;
  virtual void settingsDialog() = 0;
  virtual void saveSettings() = 0;
  virtual void deleteSettings() = 0;
  virtual bool onOpticalMedia() const = 0;
  virtual void toggleStartupShortcut() = 0;
  virtual void fetchFeed(const std::string& url) = 0;
  // The balloon follows the window.
  virtual void followMainWindow(int x, int y) = 0;
};

// --- Commands (commands.cpp) -------------------------------------------------

// Menu commands by id; unknown ids do nothing.
void handleCommand(AppState& state, ShellPort& port, int commandId);
// Pauses or resumes play and mirrors it in the Pause item; resuming arms a tick.
void setPaused(AppState& state, ShellPort& port, bool pause);
// Removes the tray icon and ends the program, as the Exit command does.
void escapeKey(AppState& state, ShellPort& port);

// --- Debug keys (debug_keys.cpp) ----------------------------------------------

// The diagnostic key commands.
void handleDebugKey(AppState& state, ShellPort& port, char key);
// The play statistics box.
void showPlayStats(AppState& state, ShellPort& port, const std::string& text);

// --- Pointer input (pointer_input.cpp) -----------------------------------------

// Mouse gestures, as the character's window reports them.
void mousePress(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseDoubleClick(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseRelease(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseMove(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseLeave(AppState& state);
// Turns the selected joint by a mouse movement, one degree per pixel, within
// its limits: dx on its first free axis, dy on its second.
void dragJoint(AppState& state, int dx, int dy);
// The window's new top-left on the screen.
void windowMoved(AppState& state, ShellPort& port, int x, int y);

// --- Tray icon (tray.cpp) ----------------------------------------------------

// A left double-click on the tray icon hides the character and stops play,
// or shows it and plays on.
void trayDoubleClick(AppState& state, ShellPort& port);

// --- About box (about_box.cpp) -------------------------------------------------

// The About box's lines: the name centred over the longest line, a line of
// spaces, an empty line and how to handle the character.
std::string aboutText(std::string_view displayName);
void showAboutBox(ShellPort& port, std::string_view displayName);

// --- Mail (mail.cpp) ----------------------------------------------------------

// A mail count from the mail channel; a higher count than the last shows the notice.
void receiveMailCount(AppState& state, ShellPort& port, std::uint32_t count);
void showMailNotice(AppState& state, ShellPort& port);

}  // namespace vashel
