// A Qt core application for tests that need an event loop but no display.
#pragma once

#include <QCoreApplication>
#include <QtTest/QTest>

namespace vashel::testing {

inline void ensureQtApp() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);  // lives until the process ends
}

}  // namespace vashel::testing
