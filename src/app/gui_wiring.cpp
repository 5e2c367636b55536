#include "app/gui_wiring.h"

#include <QApplication>
#include <QMessageBox>
#include <string>

#include "app/startup_stages.h"
#include "platform/viewer.h"
#include "transport/active_connection_list.h"
#include "transport/listener_threads.h"
#include "ui/explorer_desktop.h"

namespace pelrion::app {

GuiProgram::GuiProgram(Application& app) : app_(app) {
  window_ = std::make_unique<ui::MainWindow>(ui::MainWindowPorts{.dialogs = app.dialogs,
                                                                 .main_thread = app.main_thread,
                                                                 .registry = app.registry,
                                                                 .preferences = app.preferences,
                                                                 .model = model_});
  window_->on_exit = [&app] {
    if (app.request_quit) app.request_quit();
  };
  // Hiding the window into the tray must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  app.view = &window_->cycle_view();
  app.folders_view = &model_;
}

GuiProgram::~GuiProgram() {
  Finish();
}

void GuiProgram::Started() {
  Application& app = app_;
  model_.Attach(app.stores.messages.get(), app.stores.accounts.get());
  window_->Attach(
      {.messages = app.stores.messages.get(),
       .accounts = app.stores.accounts.get(),
       .address_lists = app.stores.address_lists.get(),
       .cycle = app.cycle.get(),
       .proxy_state =
           [&app] {
             return app.listeners ? app.listeners->threads().ProxyState()
                                  : std::string(transport::kProxyDown);
           },
       .active_connections = [] { return transport::ActiveConnectionList::Process().count(); },
       .temp_folder = app.folders.temp,
       .eml_viewer = app.viewers.eml,
       .launch = platform::OpenWithViewer,
       .desktop = ui::RealExplorerDesktop(app.viewers)});
  // Later runs start in the tray; without one the window is the only way in.
  if (app.first_run || !window_->tray_available()) window_->ShowWindow();
  if (app.first_run) GreetFirstRun();
}

// Until the account wizard exists, the first run says how to add an account, or tells the
// upgrading user what to change in the mail program.
// The box does not wait for its answer: the event loop must run (a "stop" command or a
// signal arriving before the user reads it still ends the program).
void GuiProgram::GreetFirstRun() {
  const std::string_view text = app_.stores.accounts->size() == 0 ? kFirstRunHint : kUpgradeNotice;
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Pelrion"),
                              QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                              QMessageBox::Ok, window_.get());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void GuiProgram::Stopping() {
  if (window_) window_->SaveLayout();
}

void GuiProgram::Finish() {
  if (!window_) return;
  window_->Detach();
  model_.Attach(nullptr, nullptr);
}

}  // namespace pelrion::app
