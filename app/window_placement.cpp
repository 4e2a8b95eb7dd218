// The start-up position of the character's window.
#include "app/window_placement.h"

#include <cstdint>

namespace vashel {
namespace {

// 64-bit sums: a saved position is any stored number.
bool overlaps(std::int64_t left, std::int64_t top, int width, int height, const ScreenRect& r) {
  return left < r.right && r.left < left + width && top < r.bottom && r.top < top + height;
}

StartPosition defaultPlace(const ScreenRect& area, int width, int height) {
  // The last pixel column and row, as the window system counts them.
  return {area.right - 1 - width - 40, area.bottom - 1 - height - 20};
}

}  // namespace

StartPosition chooseStartPosition(std::optional<StartPosition> saved, int width, int height,
                                  const StartScreens& screens) {
  if (!saved) return screens.primary ? defaultPlace(*screens.primary, width, height) : StartPosition{};
  // A window system that tells of no screen gives nothing to check against.
  if (screens.all.empty()) return *saved;
  for (const ScreenRect& area : screens.all) {
    if (overlaps(saved->x, saved->y, width, height, area)) return *saved;
  }
  if (screens.underPointer) return defaultPlace(*screens.underPointer, width, height);
  if (screens.primary) return defaultPlace(*screens.primary, width, height);
  return {};
}

}  // namespace vashel
