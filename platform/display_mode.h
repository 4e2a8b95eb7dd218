// Switching the screen to another resolution for full-screen use. The X
// desktops this runs on leave resolution changes to the user's own tools,
// so the request is refused and the display stays as it is.
#pragma once

namespace vashel {

enum class DisplayModeResult { Changed, Unsupported };

// Asks for a display of width x height pixels at the current colour depth.
DisplayModeResult setDisplayMode(int width, int height);

}  // namespace vashel
