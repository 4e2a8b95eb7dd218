// Platform choice from the environment.
#include "platform/window_system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vashel {
namespace {

// Sets or clears variables for one test and puts the old values back.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  void set(const std::string& name, const char* value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) {
      ::setenv(name.c_str(), value, 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(PrepareQtPlatform, WaylandSessionsRunThroughXWaylandUnlessTheUserChose) {
  struct Case {
    const char* wayland;  // null: unset
    const char* platform;
    bool chooses;
    const char* expected;  // QT_QPA_PLATFORM afterwards, null: unset
  };
  const Case cases[] = {
      {"wayland-0", nullptr, true, "xcb"},
      {"wayland-0", "", true, "xcb"},  // empty counts as unset
      {"wayland-0", "offscreen", false, "offscreen"},
      {"", nullptr, false, nullptr},
      {nullptr, nullptr, false, nullptr},
  };
  for (const Case& c : cases) {
    Environment env;
    env.set("WAYLAND_DISPLAY", c.wayland);
    env.set("QT_QPA_PLATFORM", c.platform);
    EXPECT_EQ(prepareQtPlatform(), c.chooses) << (c.wayland ? c.wayland : "(unset)");
    const char* now = std::getenv("QT_QPA_PLATFORM");
    EXPECT_EQ(std::string(now ? now : "(unset)"), std::string(c.expected ? c.expected : "(unset)"));
  }
}

}  // namespace
}  // namespace vashel
