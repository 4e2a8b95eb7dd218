// Start-up and the running character: loads the scene behind the progress
// dialog, creates the window and its GL context, and connects the window's
// input, the frame clock and the mail channel to the shell's handlers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/frame_gate.h"
#include "app/not_built.h"
#include "app/shell.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "render/frame.h"

namespace vashel {

class Balloon;
class BalloonLogicPort;
class DesktopWindow;
class FeedFetcher;
class GlContext;
class MailServer;
class OpenAlOutput;
class QtBalloonWindows;
class QtTickTimer;
class QtUi;
class SoundTable;
class TrayIcon;
class TrayMenu;

class Application final : public ShellPort,
                          public WindowInput,
                          public FramePresenter,
                          public DesktopPointer {
 public:
  // `store` holds the saved settings; null: nothing is saved or read.
  Application(AppState& state, SettingsStore* store);
  ~Application() override;

  // The whole start-up, then the event loop. Returns the process exit code:
  // 1 when the scene cannot be loaded or no GL context can be made.
  int startApplication(const std::string& sceneFileName);

  // ShellPort
  void renderFrame(bool scheduleNext) override;
  Ui& ui() override;
  std::uint32_t doubleClickTimeMs() const override;
  void moveWindow(int x, int y) override;
  void showWindow(bool visible) override;
  void setTopMost(bool on) override;
  void quit() override;
  int popupRateMenu(int screenX, int screenY, int rateItem) override;
  void removeTrayIcon() override;
  void menuChanged() override;
  void aboutBox() override;
  void settingsDialog() override;
  void saveSettings() override;
  void deleteSettings() override;
  bool onOpticalMedia() const override;
  void toggleStartupShortcut() override;
  void fetchFeed(const std::string& url) override;
  void followMainWindow(int x, int y) override;

  // WindowInput
  void mousePress(const PointerEvent& event) override;
  void mouseRelease(const PointerEvent& event) override;
  void mouseMove(const PointerEvent& event) override;
  void mouseDoubleClick(const PointerEvent& event) override;
  void mouseLeave() override;
  void keyChar(char key) override;
  void keyEscape() override;

  // FramePresenter
  void present(const FrameView& frame) override;

  // DesktopPointer
  ClientPoint cursorPosition() override;
  ScreenRect windowRectangle() override;

 private:
  bool loadSceneBehindDialog();
  bool initMainWindow();
  // The balloon's windows beside the character, driven by the player.
  void createBalloon();
  // The tray icon with the face of the frame on screen.
  void addTrayIcon();
  void drawFrame(bool scheduleNext);
  // SIGUSR1 prints the frames drawn so far and the clock's time, so that the
  // paint rate can be measured from outside (scripts/measure-desktop).
  void watchReportSignal();

  AppState& state_;
  SettingsStore* store_;
  SystemClock clock_;
  CrtRandom random_;
  // The sound output and its slots, first so that they go last: the player
  // reaches them until the end.
  std::unique_ptr<OpenAlOutput> audio_;
  std::unique_ptr<SoundTable> sounds_;
  std::unique_ptr<QtUi> ui_;
  std::unique_ptr<DesktopWindow> window_;
  std::unique_ptr<GlContext> gl_;
  std::unique_ptr<QtTickTimer> timer_;
  std::unique_ptr<MailServer> mail_;
  std::unique_ptr<TrayMenu> trayMenu_;
  std::unique_ptr<TrayIcon> trayIcon_;
  // After window_, so that they go before the window that owns them.
  std::unique_ptr<QtBalloonWindows> balloonWindows_;
  std::unique_ptr<Balloon> balloon_;
  std::unique_ptr<BalloonLogicPort> balloonPort_;
  // Said once per feature for the whole run.
  mutable NotBuiltNotice notBuilt_;
  FrameServices services_;
  FrameGate frames_;
  // The frame the window shows, so that an identical one is not shown again.
  std::vector<std::uint8_t> shownFrame_;
  int shownWidth_ = 0;
  int shownHeight_ = 0;
  // Last, so that it goes first: its pending results refer to the rest.
  std::unique_ptr<FeedFetcher> feed_;
};

}  // namespace vashel
