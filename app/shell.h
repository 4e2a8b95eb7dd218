// The shell's handlers: mouse gestures, debug keys, menu commands and the
// mail notice, as free functions over AppState. The desktop side they act on
// (the window, dialogs, the frame) is reached through ShellPort, so tests
// drive the handlers without a display.
#pragma once

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "app/ui.h"
#include "app/window_input.h"

namespace vashel {

class ShellPort {
 public:
  virtual ~ShellPort() = default;

  // Renders a frame now (the frame routine with its schedule-next flag).
  virtual void renderFrame(bool scheduleNext) = 0;
  virtual Ui& ui() = 0;
  virtual std::uint32_t doubleClickTimeMs() const { return 500; }

  virtual void moveWindow(int /*x*/, int /*y*/) {}
  virtual void showWindow(bool /*visible*/) {}
  virtual void setTopMost(bool /*on*/) {}
  virtual void quit() {}
  virtual void removeTrayIcon() {}
  // The tray menu's marks changed: show them.
  virtual void menuChanged() {}
  // The refresh-rate popup at a screen point, `rateItem` checked; returns the
  // chosen command id or 0.
  virtual int popupRateMenu(int /*screenX*/, int /*screenY*/, int /*rateItem*/) { return 0; }

  // Commands whose work lives elsewhere in the program.
  virtual void aboutBox() {}
  virtual void settingsDialog() {}
  virtual void saveSettings() {}
  virtual void deleteSettings() {}
  virtual bool onOpticalMedia() const { return false; }
  virtual void toggleStartupShortcut() {}
  virtual void fetchFeed(const std::string& /*url*/) {}
  // The balloon follows the window.
  virtual void followMainWindow(int /*x*/, int /*y*/) {}
};

// Menu commands by id; unknown ids do nothing.
void handleCommand(AppState& state, ShellPort& port, int commandId);
// The diagnostic key commands.
void handleDebugKey(AppState& state, ShellPort& port, char key);
// Pauses or resumes play and mirrors it in the Pause item.
void setPaused(AppState& state, ShellPort& port, bool pause);
// Turns the selected joint by a mouse movement, one degree per pixel, within
// its limits: dx on its first free axis, dy on its second.
void dragJoint(AppState& state, int dx, int dy);
// A mail count from the mail channel; a higher count than the last shows the notice.
void receiveMailCount(AppState& state, ShellPort& port, std::uint32_t count);
void showMailNotice(AppState& state, ShellPort& port);
// The play statistics box.
void showPlayStats(AppState& state, ShellPort& port, const std::string& text);

// Mouse and keyboard, as the character's window reports them.
void mousePress(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseDoubleClick(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseRelease(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseMove(AppState& state, ShellPort& port, const PointerEvent& event);
void mouseLeave(AppState& state);
void escapeKey(AppState& state, ShellPort& port);
// The window's new top-left on the screen.
void windowMoved(AppState& state, ShellPort& port, int x, int y);

}  // namespace vashel
