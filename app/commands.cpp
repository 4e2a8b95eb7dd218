// Menu commands by id, the Pause item and the Escape key.
#include "anim/clock.h"
#include "app/shell.h"

namespace vashel {
namespace {

// A toggle command: the check mark is the current value; flip it, write it
// back and return the new value.
int toggleItem(AppState& state, ShellPort& port, int id) {
  const bool on = !state.trayMenu.checked(id);
  state.trayMenu.setChecked(id, on);
  port.menuChanged();
  return on ? 1 : 0;
}

void setFrameRateItem(AppState& state, int id, int rate) {
  state.shell.rateItem = id;
  setFrameRate(state.player.clock, rate, state.shell.out);
}

void quitProgram(ShellPort& port) {
  port.removeTrayIcon();
  port.quit();
}

}  // namespace

void setPaused(AppState& state, ShellPort& port, bool pause) {
  state.trayMenu.setChecked(kCmdPause, pause);
  setPlaying(state.player, !pause);
  port.menuChanged();
}

void handleCommand(AppState& state, ShellPort& port, int id) {
  Settings& settings = state.settings;
  std::FILE* out = state.shell.out;
  std::fprintf(out, "fstate = 0x%x\n", state.trayMenu.state(id));
  switch (id) {
    case kCmdRate10: setFrameRateItem(state, id, 10); break;
    case kCmdRate15: setFrameRateItem(state, id, 15); break;
    case kCmdRate20: setFrameRateItem(state, id, 20); break;
    case kCmdRate25: setFrameRateItem(state, id, 25); break;
    case kCmdRate30: setFrameRateItem(state, id, 30); break;
    case kCmdPlay: setPlaying(state.player, true); break;
    case kCmdStop: setPlaying(state.player, false); break;
    case kCmdExit: quitProgram(port); break;
    case kCmdAbout: port.aboutBox(); break;
    case kCmdNoSound:
      settings.nosound = toggleItem(state, port, id);
      if (settings.nosound) {
        stopCurrentSound(state.player);
      } else {
        startCurrentSound(state.player);
      }
      std::fprintf(out, "Qnosound=%d\n", settings.nosound);
      break;
    case kCmdTopMost:
      settings.topMost = toggleItem(state, port, id);
      port.setTopMost(settings.topMost != 0);
      break;
    case kCmdAlpha:
      settings.alpha = toggleItem(state, port, id);
      std::fprintf(out, "IDM_ALPHA draw\n");
      port.renderFrame(false);
      break;
    case kCmdMouseTrace:
      settings.mouseTrace = toggleItem(state, port, id);
      state.render.view.mouseTrace = settings.mouseTrace != 0;
      break;
    case kCmdSaveSettings: port.saveSettings(); break;
    case kCmdDeleteSettings: port.deleteSettings(); break;
    case kCmdSmall: settings.small = toggleItem(state, port, id); break;
    case kCmdSettingsDialog: port.settingsDialog(); break;
    case kCmdStartupShortcut:
      if (port.onOpticalMedia()) {
        port.ui().messageBox("ERROR", "CD起動なので、スタートアップへのショートカットは登録できません。");
      } else {
        port.toggleStartupShortcut();
      }
      port.menuChanged();
      break;
    case kCmdPause: setPaused(state, port, !state.trayMenu.checked(kCmdPause)); break;
    case kCmdFetchFeed:
      if (!state.shell.feedUrl.empty()) port.fetchFeed(state.shell.feedUrl);
      break;
    case kCmdNoConnect:
      settings.noConnect = toggleItem(state, port, id);
      std::fprintf(out, "idm no connect: %d\n", settings.noConnect);
      break;
    default: break;
  }
}

void escapeKey(AppState& /*state*/, ShellPort& port) { quitProgram(port); }

}  // namespace vashel
