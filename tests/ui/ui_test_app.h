// What every window test shares: the one QApplication on the offscreen platform, and saving
// a window's picture into the build tree's screenshots folder for a person to look at.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QWidget>

namespace pelrion::ui::testing_support {

inline QApplication* TestApp() {
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return app;
}

// Saves widget as <screenshots>/<name>.png; true when written.
inline bool SaveScreenshot(QWidget& widget, const QString& name) {
  QDir().mkpath(PELRION_SCREENSHOTS);
  widget.show();
  QApplication::processEvents();
  return widget.grab().save(QString(PELRION_SCREENSHOTS) + "/" + name + ".png");
}

}  // namespace pelrion::ui::testing_support
