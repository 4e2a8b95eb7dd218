// Chooses Qt's window-system platform before the application object exists.
#pragma once

namespace vashel {

// Under a Wayland session the character runs through XWayland: Wayland does
// not let a client place its own window, and the character must stand where
// it was left and be dragged by its own code. Sets QT_QPA_PLATFORM=xcb when
// WAYLAND_DISPLAY is set and the user has not chosen a platform. Call before
// constructing QApplication. Returns true when it chose.
bool prepareQtPlatform();

}  // namespace vashel
