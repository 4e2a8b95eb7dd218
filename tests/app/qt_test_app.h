// A Qt application for tests that need an event loop, and widgets that are
// never shown, but no display: the offscreen platform stands in for one.
#pragma once

#include <QApplication>
#include <QtTest/QTest>

namespace vashel::testing {

inline void ensureQtApp() {
  if (QCoreApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives until the process ends
}

}  // namespace vashel::testing
