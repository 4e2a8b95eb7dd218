// What the character's window needs to know from the X server that Qt does
// not tell: whether a compositor runs, and the taskbar hint.
#pragma once

#include <string>

class QWidget;

namespace vashel {

// True when window pixels are blended with per-pixel alpha: an X compositing
// manager owns the _NET_WM_CM_S<screen> selection, or the session is Wayland.
// Other platforms (offscreen, no display) report false.
bool compositorActive();

// The screen number of an X display name (":0.1" gives 1, ":0" gives 0).
int screenOfDisplayName(const std::string& display);

// Marks a window that is about to be mapped as one that taskbars and pagers
// skip, through its _NET_WM_STATE property, which the window manager reads
// when it maps the window. Does nothing outside X11.
void markSkipTaskbar(QWidget& window);

// The same for a mapped window, as a request to the window manager. Needed
// after each show: the window manager drops the state when the window is
// hidden, and Qt may rewrite the property before mapping it again.
void requestSkipTaskbar(QWidget& window);

// Sends what Qt has queued for the X server. Qt flushes with its next
// paint, but a shape change that leaves nothing to paint would otherwise
// wait for some later request.
void flushDisplay();

}  // namespace vashel
