// Where the character's window starts: the saved top-left while it still
// shows on some screen, else the lower right of a screen's free area.
#pragma once

#include <optional>
#include <span>

#include "render/view.h"

namespace vashel {

// The screens' free areas (without panels), right and bottom exclusive.
struct StartScreens {
  std::span<const ScreenRect> all;         // every screen now attached
  std::optional<ScreenRect> primary;       // none without any screen
  std::optional<ScreenRect> underPointer;  // none when the pointer is on no screen
};

// The window's top-left at start-up. A saved top-left is kept when the
// window's rectangle there overlaps some screen's free area; one that lies on
// no screen any more (its monitor was unplugged, the resolution shrank) gives
// way to the default place on the screen under the pointer, where the user is
// looking. Without a saved position the default place is on the primary
// screen. The default place stands 40 pixels in from the right and 20 up from
// the bottom; with no screen at all it is (0, 0), and a window system that
// reports no screens keeps the saved top-left.
struct StartPosition {
  int x = 0;
  int y = 0;
  bool operator==(const StartPosition&) const = default;
};
StartPosition chooseStartPosition(std::optional<StartPosition> saved, int width, int height,
                                  const StartScreens& screens);

}  // namespace vashel
