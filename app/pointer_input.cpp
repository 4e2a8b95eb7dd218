// Mouse gestures on the character's window: dragging the window, turning the
// view, picks, double-clicks and posing the selected joint.
#include <algorithm>
#include <cinttypes>

#include "app/shell.h"

namespace vashel {
namespace {

std::uint32_t nowMs(const AppState& state) {
  return state.player.ports.time ? static_cast<std::uint32_t>(state.player.ports.time->nowMs()) : 0;
}

bool jointSelected(const AppState& state) { return state.render.selectionIndex != 0; }

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

void windowMoved(AppState& state, ShellPort& port, int x, int y) {
  state.shell.windowX = x;
  state.shell.windowY = y;
  port.followMainWindow(x, y);
}

}  // namespace vashel
