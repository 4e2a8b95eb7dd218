// Platform choice from the environment.
#include "platform/window_system.h"

#include <cstdlib>

namespace vashel {
namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool prepareQtPlatform() {
  if (!isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM")) return false;
  return ::setenv("QT_QPA_PLATFORM", "xcb", 1) == 0;
}

}  // namespace vashel
