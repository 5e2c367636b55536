// The dialogs port with Qt widgets: QMessageBox, the folder chooser, a small modeless status
// window and a splash screen for the start-up stages. Without a QApplication (headless
// mode runs a QCoreApplication) every call falls back to HeadlessDialogs. Calls from
// worker threads are carried out on the main thread.
#pragma once

#include <memory>

#include "platform/dialogs.h"

class QLabel;
class QSplashScreen;

namespace pelrion::platform {

class QtDialogs : public Dialogs {
 public:
  QtDialogs();
  ~QtDialogs() override;
  QtDialogs(const QtDialogs&) = delete;
  QtDialogs& operator=(const QtDialogs&) = delete;

  DialogAnswer MessageBox(std::string_view text, std::string_view caption, DialogIcon icon,
                          DialogButtons buttons) override;
  std::optional<std::string> ChooseFolder(std::string_view title) override;
  // Empty text closes the status window.
  void ShowStatus(std::string_view text) override;
  // Empty text closes the splash screen.
  void ShowStartupStage(std::string_view text) override;

 private:
  HeadlessDialogs headless_;
  std::unique_ptr<QLabel> status_;
  std::unique_ptr<QSplashScreen> splash_;
};

}  // namespace pelrion::platform
