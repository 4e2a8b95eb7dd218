// What the character's window reports from the mouse and keyboard, in plain
// values, so that the shell's handlers and their tests stay free of Qt.
#pragma once

namespace vashel {

// Mouse buttons and modifier keys as bit sets.
enum MouseButtonBits : unsigned {
  kButtonLeft = 1u,
  kButtonRight = 2u,
  kButtonMiddle = 4u,
};
enum ModifierBits : unsigned {
  kModShift = 1u,
  kModCtrl = 2u,
};

struct PointerEvent {
  int x = 0;  // client coordinates, origin at the window's top-left pixel
  int y = 0;
  int screenX = 0;  // the same point on the screen
  int screenY = 0;
  unsigned button = 0;   // the button that went down or up (0 for moves)
  unsigned buttons = 0;  // buttons held once the event has happened: a press
                         // includes its button, a release no longer does
  unsigned modifiers = 0;
};

// Receives the window's raw input. Every call comes on the main thread.
// A second click within the double-click time arrives as mouseDoubleClick in
// place of its mousePress (press, release, double-click, release), for every
// button; the handler decides what a double-click means.
class WindowInput {
 public:
  virtual ~WindowInput() = default;
  virtual void mousePress(const PointerEvent&) {}
  virtual void mouseRelease(const PointerEvent&) {}
  virtual void mouseMove(const PointerEvent&) {}  // with or without buttons
  virtual void mouseDoubleClick(const PointerEvent&) {}
  virtual void mouseLeave() {}
  virtual void keyChar(char) {}  // ASCII characters only, as typed
  virtual void keyEscape() {}
};

}  // namespace vashel
