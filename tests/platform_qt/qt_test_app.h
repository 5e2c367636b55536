// The one QApplication of the Qt port tests, on the offscreen platform.
#pragma once

#include <QApplication>

namespace pelrion::platform::testing_support {

inline QApplication* TestApp() {
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "platform_qt_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return app;
}

}  // namespace pelrion::platform::testing_support
