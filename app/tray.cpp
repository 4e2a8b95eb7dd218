// What the tray icon's gestures do to the character.
#include "anim/clock.h"
#include "app/shell.h"

namespace vashel {

void trayDoubleClick(AppState& state, ShellPort& port) {
  ShellState& shell = state.shell;
  shell.visible = !shell.visible;
  port.showWindow(shell.visible);
  // Hidden, the character need not be drawn; shown again, it plays on from a
  // fresh tick.
  setPlaying(state.player, shell.visible);
  std::fprintf(shell.out, "show %d, play %d\n", shell.visible ? 1 : 0, state.player.clock.playState);
}

}  // namespace vashel
