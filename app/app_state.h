// The one application state record. main owns it and passes it by reference;
// each subsystem keeps its own group of fields in it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "anim/player.h"
#include "app/menu_model.h"
#include "render/render_state.h"
#include "scene/loader.h"
#include "scene/model.h"
#include "xml/xml.h"

namespace vashel {

// The user's settings, mirrored by the tray menu's check marks and kept in
// the settings store under the same value names.
struct Settings {
  int nosound = 0;
  int random = 0;
  int topMost = 0;
  int alpha = 0;
  int mouseTrace = 0;
  int small = 0;
  int rememberPosition = 0;
  int checkMail = 0;
  std::string mailHost;
  std::string mailUser;
  std::string mailPassword;
  std::uint32_t mailInterval = 0;
  std::uint32_t mailCount = 0;  // last count reported by the mail channel
  int noConnect = 0;
};

// Mouse gestures as the shell tracks them.
enum MouseGesture : int { kGestureNone = 0, kGestureLeft = 0x201, kGestureRight = 0x204 };

struct ShellState {
  int screenWidth = 0;  // the balloon stands towards the middle of the screen
  int windowX = 0;  // the window's top-left on the screen, updated on every move
  int windowY = 0;
  std::string sceneFileName;
  bool menuOpen = false;
  bool visible = true;
  int rateItem = kCmdRate20;
  std::uint32_t lastHitTime = 0;   // ms, hand-made double-click detection
  std::uint32_t lastMoveDraw = 0;  // ms, redraw throttle while stopped
  std::string feedUrl;
  std::unique_ptr<XmlElement> messageRoot;
  int debugNumber = 0;  // shared by the A, a, M and m keys
  // Switches of the B and R keys, which only their own ON/OFF lines read.
  bool bitmapFlag = false;
  bool repeatFlag = false;
  bool mailNoticeOpen = false;  // the notice is on screen; at most one at a time

  // A left-button window drag in progress: where the pointer and the window
  // were when it began.
  bool dragging = false;
  int dragPointerX = 0, dragPointerY = 0;
  int dragWindowX = 0, dragWindowY = 0;

  std::FILE* out = stdout;  // the diagnostic lines of the handlers
};

struct AppState {
  ShellState shell;
  Settings settings;
  MenuModel trayMenu = MenuModel::trayMenu();
  LoadStatus load;
  Scene scene;
  Player player;
  RenderState render;
};

}  // namespace vashel
