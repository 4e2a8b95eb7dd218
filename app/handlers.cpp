// Mouse gestures, debug keys, menu commands and the mail notice of the
// character's window.
#include <algorithm>
#include <cinttypes>

#include "anim/clock.h"
#include "app/shell.h"
#include "platform/codepage.h"

namespace vashel {
namespace {

std::uint32_t nowMs(const AppState& state) {
  return state.player.ports.time ? static_cast<std::uint32_t>(state.player.ports.time->nowMs()) : 0;
}

const char* onOff(bool on) { return on ? "ON" : "OFF"; }

bool jointSelected(const AppState& state) { return state.render.selectionIndex != 0; }

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

// Where the current sound stands at the frame shown: the time since the
// action's first frame at the animation time base, as bytes of its data.
long soundOffsetForFrame(const Player& player) {
  const SoundPort* sound = player.ports.sound;
  const int slot = player.currentSound;
  if (sound == nullptr || slot < 0 || slot >= kSoundSlots) return 0;
  // In 64 bits: a range may start near the lowest int frame and end near the highest.
  const long long frames =
      static_cast<long long>(roundFrame(player.clock.currentFrame)) - player.clock.startFrame;
  if (frames <= 0) return 0;
  return static_cast<long>(frames * kAnimFrameMs * static_cast<double>(sound->bytesPerSecond(slot)) /
                           1000.0);
}

void armAfterFramePeriod(AppState& state) {
  if (state.player.ports.timer) {
    state.player.ports.timer->armTick(static_cast<int>(state.player.clock.framePeriod));
  }
}

// The shell's window drag: the whole character acts as a caption while no
// joint is selected. Double-clicks are detected here, by hand, because a
// drag gesture never yields one; a third quick click does not count again.
void leftPressOnCaption(AppState& state, ShellPort& port, const PointerEvent& event) {
  ShellState& shell = state.shell;
  RenderState& render = state.render;
  std::uint32_t now = nowMs(state);
  const std::uint32_t doubleClickTime = port.doubleClickTimeMs();
  if (now - shell.lastHitTime < doubleClickTime) {
    render.mousePos = {static_cast<std::int16_t>(event.screenX - shell.windowX),
                       static_cast<std::int16_t>(event.screenY - shell.windowY)};
    render.mouseButton = kGestureLeft;
    std::fprintf(shell.out, " %d %d %d\n", render.mousePos.x, render.mousePos.y, kGestureLeft);
    render.presentRequest = true;
    render.pickState = kPickToSelect;
    port.renderFrame(true);
    now = shell.lastHitTime - doubleClickTime;
  }
  if (jointSelected(state)) {  // the pick may just have selected one
    render.presentRequest = true;
    render.mousePos = {event.x, event.y};
    return;
  }
  shell.lastHitTime = now;
  shell.dragging = true;
  shell.dragPointerX = event.screenX;
  shell.dragPointerY = event.screenY;
  shell.dragWindowX = shell.windowX;
  shell.dragWindowY = shell.windowY;
}

}  // namespace

void setPaused(AppState& state, ShellPort& port, bool pause) {
  if (pause) {
    state.trayMenu.setChecked(kCmdPause, true);
    state.player.clock.playState = kPaused;
  } else {
    state.trayMenu.setChecked(kCmdPause, false);
    state.player.clock.playState = kPlaying;
    armAfterFramePeriod(state);
  }
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
    case kCmdPlay:
      state.player.clock.playState = kPlaying;
      armAfterFramePeriod(state);
      break;
    case kCmdStop: state.player.clock.playState = kPaused; break;
    case kCmdExit:
      port.removeTrayIcon();
      port.quit();
      break;
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
    case kCmdPause:
      if (state.trayMenu.checked(kCmdPause)) {
        state.trayMenu.setChecked(kCmdPause, false);
        setPlaying(state.player, true);
      } else {
        state.trayMenu.setChecked(kCmdPause, true);
        state.player.clock.playState = kPaused;
      }
      port.menuChanged();
      break;
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

void dragJoint(AppState& state, int dx, int dy) {
  RenderState& render = state.render;
  if (render.selectionIndex == 0 || render.selectedJoint < 0 ||
      render.selectedJoint >= static_cast<int>(state.scene.joints.size())) {
    return;
  }
  Joint& joint = state.scene.joints[static_cast<std::size_t>(render.selectedJoint)];
  const int deltas[2] = {dx, dy};
  int used = 0;
  for (int axis = 0; axis < 3 && used < 2; ++axis) {
    if ((render.selectedAxisMask & (1 << axis)) == 0) continue;
    const double low = joint.limits[static_cast<std::size_t>(axis * 2)];
    const double high = joint.limits[static_cast<std::size_t>(axis * 2 + 1)];
    double& angle = joint.cachedRotation[static_cast<std::size_t>(axis)];
    angle = std::clamp(angle + deltas[used], std::min(low, high), std::max(low, high));
    ++used;
  }
}

void handleDebugKey(AppState& state, ShellPort& port, char key) {
  std::FILE* out = state.shell.out;
  PlayerClock& clock = state.player.clock;
  RenderFlags& flags = state.render.flags;
  std::fprintf(out, "[KEY (%c)]\n", key);
  auto toggle = [out](std::uint8_t& flag, const char* name) {
    flag = flag ? 0 : 1;
    std::fprintf(out, "  %s %s\n", name, onOff(flag != 0));
  };
  auto toggleBool = [out](bool& flag, const char* name) {
    flag = !flag;
    std::fprintf(out, "  %s %s\n", name, onOff(flag));
  };
  switch (key) {
    case ' ': {
      clock.playState = clock.playState == kPaused ? kPlaying : kPaused;
      setPaused(state, port, clock.playState == kPaused);
      state.render.selectedJoint = -1;
      state.render.selectedAxisMask = 0;
      state.render.selectionIndex = 0;
      state.render.pickState = kNoPick;
      const bool soundOn = state.player.soundEnabled && state.settings.nosound == 0;
      if (soundOn && clock.playState == kPlaying) {
        seekCurrentSound(state.player, soundOffsetForFrame(state.player));
      } else {
        std::fprintf(out, "  Pause\n");
        pauseCurrentSound(state.player);
      }
      break;
    }
    case '.': std::fprintf(out, "  Next frame[%d]\n", stepForward(clock)); break;
    case ',': std::fprintf(out, "  Prev frame[%d]\n", stepBack(clock)); break;
    case 'A':
    case 'a':
      state.shell.debugNumber = key == 'A' ? state.shell.debugNumber + 1
                                           : std::max(0, state.shell.debugNumber - 1);
      std::fprintf(out, "  setNewAction[%d]\n", state.shell.debugNumber);
      setNewAction(state.player, state.scene, state.shell.debugNumber, {}, {});
      break;
    case 'M':
    case 'm':
      state.shell.debugNumber = key == 'M' ? state.shell.debugNumber + 1
                                           : std::max(0, state.shell.debugNumber - 1);
      std::fprintf(out, "  Show Message[%d]\n", state.shell.debugNumber);
      showActionMessage(state.player, state.scene, state.shell.debugNumber);
      break;
    case 'F':
    case 'f':
      clock.playState = kFrameWalk;
      std::fprintf(out, "  Frame walk mode\n");
      break;
    case 'Z':
    case 'z':
      state.render.pickState = state.render.pickState == kNoPick ? kPickToPlay : kNoPick;
      std::fprintf(out, "  Picking %s\n", onOff(state.render.pickState != kNoPick));
      break;
    case 'J': case 'j': toggle(flags.joint, "Joint"); break;
    case 'L': case 'l': toggle(flags.light, "Light"); break;
    case 'P': case 'p': toggle(flags.polygon, "Polygon"); break;
    case 'G': case 'g': toggle(flags.guide, "Guide"); break;
    case 'T': case 't': toggle(flags.texture, "Texture"); break;
    case 'B': case 'b': toggleBool(state.shell.bitmapFlag, "Bitmap"); break;
    case 'R': case 'r': toggleBool(state.shell.repeatFlag, "Repeat"); break;
    case 'I':
    case 'i':
      state.player.statsRequested = true;
      std::fprintf(out, "  Show Stat ON\n");
      break;
    case 'q':
      std::fprintf(out, "  Reset Wave\n");
      clock.currentFrame = clock.startFrame;
      clock.playState = kPaused;
      stopCurrentSound(state.player);
      break;
    default:
      if (key >= '0' && key <= '9') {
        for (Joint& joint : state.scene.joints) {
          auto& r = joint.cachedRotation;
          std::fprintf(out, "%s: ", convertToUtf8(kDataCodePage, joint.name).c_str());
          std::fprintf(out, "%g %g %g --> ", r[0], r[1], r[2]);
          for (double& angle : r) angle *= 2.0;
          std::fprintf(out, "%g %g %g\n", r[0], r[1], r[2]);
        }
      } else {
        std::fprintf(out, "  undefined\n");
      }
      break;
  }
  if (clock.playState != kPlaying) {
    std::fprintf(out, "  KeyCommand draw\n");
    port.renderFrame(false);
  }
}

void showMailNotice(AppState& state, ShellPort& port) {
  // The box is modal: counts that arrive while it is open would open one box
  // inside the other, without bound. Its text names no count, so the open
  // box already tells of the later mails too.
  if (state.shell.mailNoticeOpen) return;
  state.shell.mailNoticeOpen = true;
  port.ui().messageBox("POP3 NOTIFY", "新着メールあり！！");
  state.shell.mailNoticeOpen = false;
  const Action* action = state.scene.action(98);
  if (action != nullptr && action->endFrame > 0) setNewAction(state.player, state.scene, 98, {}, {});
}

void receiveMailCount(AppState& state, ShellPort& port, std::uint32_t count) {
  const bool more = count > state.settings.mailCount;
  // Remember the count before the box opens: a second report while it is
  // open must not raise a second notice for the same mails.
  state.settings.mailCount = count;
  if (more) showMailNotice(state, port);
}

void showPlayStats(AppState& /*state*/, ShellPort& port, const std::string& text) {
  MessageBoxOptions options;
  options.ownedByMainWindow = true;
  port.ui().messageBox("PLAYSTAT", text, MessageIcon::Information, options);
}

void mousePress(AppState& state, ShellPort& port, const PointerEvent& event) {
  RenderState& render = state.render;
  if (event.button == kButtonLeft) {
    if (jointSelected(state)) {
      render.presentRequest = true;
      render.mousePos = {event.x, event.y};
    } else {
      leftPressOnCaption(state, port, event);
    }
  } else if (event.button == kButtonRight) {
    std::FILE* out = state.shell.out;
    std::fprintf(out, "ボタンダウン\n");
    render.presentRequest = true;
    render.mousePos = {event.x, event.y};
    render.mouseButton = kGestureRight;
    render.pickState = kPickToPlay;
    std::fprintf(out, "WM_RBUTTONDOWN draw\n");
    port.renderFrame(false);
    if (event.buttons == kButtonRight && event.modifiers == kModShift) {
      state.shell.menuOpen = true;
      const int chosen = port.popupRateMenu(event.screenX, event.screenY, state.shell.rateItem);
      state.shell.menuOpen = false;
      if (chosen != 0) handleCommand(state, port, chosen);
    }
  }
}

void mouseDoubleClick(AppState& state, ShellPort& port, const PointerEvent& event) {
  RenderState& render = state.render;
  if (event.button == kButtonLeft) {
    if (!jointSelected(state)) {
      // On the caption a double-click is only a second press; the hand-made
      // detection decides.
      leftPressOnCaption(state, port, event);
      return;
    }
    render.mousePos = {event.x, event.y};
    render.mouseButton = kGestureLeft;
    const long packed = (static_cast<long>(event.y & 0xFFFF) << 16) | (event.x & 0xFFFF);
    std::fprintf(state.shell.out, "WM_LBUTTONDBLCLK: %ld %ld %d\n", packed, packed, kGestureLeft);
    render.pickState = kPickToSelect;
    port.renderFrame(false);
  } else if (event.button == kButtonRight) {
    std::fprintf(state.shell.out, "右だぶるくりっく\n");
  }
}

void mouseRelease(AppState& state, ShellPort& /*port*/, const PointerEvent& event) {
  if (event.button == kButtonRight) {
    std::fprintf(state.shell.out, "[VIEW] yaw %g pitch %g\n", state.render.view.yaw,
                 state.render.view.pitch);
  }
  state.render.mouseButton = kGestureNone;
  if (event.button == kButtonLeft) state.shell.dragging = false;
}

void mouseMove(AppState& state, ShellPort& port, const PointerEvent& event) {
  ShellState& shell = state.shell;
  RenderState& render = state.render;
  if (shell.dragging) {
    if ((event.buttons & kButtonLeft) == 0) {
      shell.dragging = false;
    } else {
      port.moveWindow(shell.dragWindowX + event.screenX - shell.dragPointerX,
                      shell.dragWindowY + event.screenY - shell.dragPointerY);
      return;
    }
  }
  if (event.buttons == 0 && event.modifiers == 0) return;
  render.presentRequest = true;
  const int dx = event.x - render.mousePos.x;
  const int dy = event.y - render.mousePos.y;
  if (event.buttons == kButtonLeft) {
    if (jointSelected(state)) dragJoint(state, dx, dy);
  } else if (event.buttons == kButtonRight) {
    render.view.yaw += dx;
    render.view.pitch = std::clamp(render.view.pitch + dy, -45.0, 45.0);
  }
  render.mousePos = {event.x, event.y};
  const std::uint32_t now = nowMs(state);
  if (state.player.clock.playState == kPaused && now - shell.lastMoveDraw > 100) {
    std::fprintf(shell.out, "WM_MOUSEMOVE update draw: %" PRIu32, now - shell.lastMoveDraw);
    port.renderFrame(false);
    shell.lastMoveDraw = now;
  }
}

void mouseLeave(AppState& state) { state.render.mouseButton = kGestureNone; }

void escapeKey(AppState& /*state*/, ShellPort& port) {
  port.removeTrayIcon();
  port.quit();
}

void windowMoved(AppState& state, ShellPort& port, int x, int y) {
  state.shell.windowX = x;
  state.shell.windowY = y;
  port.followMainWindow(x, y);
}

}  // namespace vashel
