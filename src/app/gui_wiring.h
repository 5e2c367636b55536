// The desktop program's main window, wired into start-up and shutdown: made before the stores
// open (its list hears of every message they load), attached once start-up has made the
// stores, the cycle and the listeners, shown on the first run or where the desktop has no
// tray, and taken off the stores before they close. Linked only into the executable: the
// application library stays free of widgets.
#pragma once

#include <memory>

#include "app/application.h"
#include "ui/main_window.h"
#include "ui/message_list_model.h"

namespace pelrion::app {

class GuiProgram {
 public:
  // Becomes app's cycle view and folders view; app must outlive this object's use and be
  // taken apart only after Finish.
  explicit GuiProgram(Application& app);
  ~GuiProgram();
  GuiProgram(const GuiProgram&) = delete;
  GuiProgram& operator=(const GuiProgram&) = delete;

  // After a successful start-up: the window gets the stores, the cycle and the listeners; a
  // first run shows it with its greeting.
  void Started();
  // After the event loop: the layout is kept for the next run.
  void Stopping();
  // Before the stores close: the window and its list let go of them.
  void Finish();

  ui::MainWindow& window() { return *window_; }

 private:
  void GreetFirstRun();

  Application& app_;
  ui::MessageListModel model_;
  std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace pelrion::app
