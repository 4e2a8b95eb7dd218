// A shell port for tests that only exercise a few of its operations: every
// operation does nothing and answers neutrally, and a test overrides what it
// watches. The program's own port has no such defaults on purpose.
#pragma once

#include <cstdint>
#include <string>

#include "app/shell.h"

namespace vashel::testing {

class QuietShellPort : public ShellPort {
 public:
  void renderFrame(bool) override {}
  std::uint32_t doubleClickTimeMs() const override { return 500; }
  void moveWindow(int, int) override {}
  void showWindow(bool) override {}
  void setTopMost(bool) override {}
  void quit() override {}
  void removeTrayIcon() override {}
  void menuChanged() override {}
  int popupRateMenu(int, int, int) override { return 0; }
  void aboutBox() override {}
  void settingsDialog() override {}
  void saveSettings() override {}
  void deleteSettings() override {}
  bool onOpticalMedia() const override { return false; }
  void toggleStartupShortcut() override {}
  void fetchFeed(const std::string&) override {}
  void followMainWindow(int, int) override {}
};

}  // namespace vashel::testing
