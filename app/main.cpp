// vashel [scene]: the character on the desktop. The arguments joined by
// single spaces are the scene file name, unchanged; none means data.glj.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/application.h"
#include "platform/settings_store_qt.h"
#include "platform/window_system.h"

int main(int argc, char** argv) {
  // Diagnostics are read line by line by whoever watches the character.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  std::string sceneFile;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) sceneFile += ' ';
    sceneFile += argv[i];
  }
  if (sceneFile.empty()) sceneFile = "data.glj";

  // llvmpipe's rasteriser threads cost more than they give at the window's
  // few hundred pixels a side: rasterise on the drawing thread, unless the
  // user chose otherwise. Read when the GL context is created.
  setenv("LP_NUM_THREADS", "0", 0);
  // A shared-memory image costs the X connection a round trip before every
  // frame is painted (Qt waits until the server has read the last one); for
  // a window this small sending the pixels costs less. Read by Qt's X
  // connection, so before the application object; the user's choice stands.
  setenv("QT_XCB_NO_MITSHM", "1", 0);

  vashel::prepareQtPlatform();
  // Qt must not see the scene name as its own options; it gets the program name only.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  auto state = std::make_unique<vashel::AppState>();
  // The saved settings: ${XDG_CONFIG_HOME:-$HOME/.config}/Vashel/Vashel.conf.
  vashel::QtSettingsStore store;
  vashel::Application application(*state, &store);
  return application.startApplication(sceneFile);
}
