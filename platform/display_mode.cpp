// Display mode changes: refused, so nothing on screen changes.
#include "platform/display_mode.h"

namespace vashel {

DisplayModeResult setDisplayMode(int /*width*/, int /*height*/) {
  return DisplayModeResult::Unsupported;
}

}  // namespace vashel
