#include "app/gui_wiring.h"

#include <QApplication>
#include <QTimer>
#include <string>

#include "core/autostart.h"
#include "import/thunderbird_profiles.h"
#include "platform/viewer.h"
#include "transport/active_connection_list.h"
#include "transport/listener_properties.h"
#include "transport/listener_threads.h"
#include "transport/listener_tls_change.h"
#include "ui/explorer_desktop.h"
#include "ui/first_run.h"
#include "ui/import_addresses_window.h"
#include "ui/listeners_window.h"
#include "ui/mail_accounts_window.h"
#include "ui/options_window.h"
#include "ui/setup_wizard.h"
#include "ui/trusted_domains_window.h"

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
  mail_clients_ =
      std::make_unique<ui::InstalledMailClients>(ui::FileDialogLocator(window_.get()));
  app.view = &window_->cycle_view();
  app.folders_view = &model_;
}

GuiProgram::~GuiProgram() {
  Finish();
}

void GuiProgram::Started() {
  Application& app = app_;
  model_.Attach(app.stores.messages.get(), app.stores.accounts.get());
  removal_ = std::make_unique<store::MessageStoreRemovalPeers>(*app.stores.messages,
                                                               *app.stores.digests);
  address_lists_ = std::make_unique<ui::AddressListsWindow>(*app.stores.address_lists,
                                                            app.registry, window_.get());
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
       .desktop = ui::RealExplorerDesktop(app.viewers),
       .windows = SettingsWindows(),
       .pin_certificate =
           [this](std::uint32_t listener_id, const std::string& fingerprint) {
             return transport::PinCertificate(app_.registry, ListenerThreads(), listener_id,
                                              fingerprint);
           }});
  // Later runs start in the tray; without one the window is the only way in.
  if (app.first_run || !window_->tray_available()) window_->ShowWindow();
  // The wizard waits for the event loop: a "stop" command or a signal must still be heard
  // while the user is in it.
  if (app.first_run) QTimer::singleShot(0, window_.get(), [this] { RunFirstRun(); });
}

store::ListenerControl& GuiProgram::ListenerThreads() {
  if (app_.listeners) return app_.listeners->threads();
  return app_.no_listener_control;
}

std::map<ui::Command, std::function<void()>> GuiProgram::SettingsWindows() {
  store::ListenerControl* listener_control = &ListenerThreads();
  const ui::AccountWindowPorts account_ports{
      .accounts = *app_.stores.accounts,
      .listeners = *app_.stores.listeners,
      .listener_threads = *listener_control,
      .registry = app_.registry,
      .removal = *removal_,
      .messages_highlighted = [this] { window_->RedrawMessages(); },
      .mail_clients = *mail_clients_};
  return {
      {ui::Command::kAddMailAccount,
       [this] {
         ui::SetupWizard(*app_.stores.accounts, *app_.stores.listeners, *mail_clients_,
                         window_.get())
             .exec();
       }},
      {ui::Command::kAccounts,
       [this, account_ports] { ui::MailAccountsWindow(account_ports, window_.get()).exec(); }},
      {ui::Command::kListeners,
       [this, listener_control] {
         ui::ListenersWindow(*app_.stores.listeners, *listener_control, app_.dialogs,
                             transport::LocalAddressChoices, window_.get())
             .exec();
       }},
      {ui::Command::kOptions, [this] { ShowOptions(); }},
      {ui::Command::kAddressLists,
       [this] {
         address_lists_->show();
         address_lists_->raise();
         address_lists_->activateWindow();
       }},
      {ui::Command::kTrustedDomains,
       [this] { ui::TrustedDomainsWindow(*app_.stores.trusted_domains, window_.get()).exec(); }},
      {ui::Command::kImportAddresses,
       [this] {
         ui::ImportAddressesWindow(*app_.stores.address_calls, import::UserHomeFolder(),
                                   ui::ChooseImportFileWithDialog, window_.get())
             .exec();
       }},
  };
}

void GuiProgram::ShowOptions() {
  Application& app = app_;
  ui::OptionsServices services{.preferences = app.preferences,
                               .registry = app.registry,
                               .quarantine = *app.stores.quarantine,
                               .rearm_mail_check =
                                   [&app] {
                                     if (app.cycle) app.cycle->ResetCyclePeriod();
                                   },
                               .temp_folder = app.folders.temp,
                               .executable_path = core::CurrentExecutablePath().value_or(""),
                               .desktop = ui::RealOptionsDesktop(app.viewers.eml)};
  ui::OptionsWindow(std::move(services), window_.get()).exec();
}

void GuiProgram::RunFirstRun() {
  ui::FirstRunSteps steps = ui::WizardFirstRunSteps(*app_.stores.accounts, *app_.stores.listeners,
                                                    *mail_clients_, window_.get());
  steps.import_address_book =
      ui::AddressBookFirstRunStep(*app_.stores.address_calls, import::UserHomeFolder());
  ui::RunFirstRun(*app_.stores.accounts, steps);
}

void GuiProgram::Stopping() {
  if (window_) window_->SaveLayout();
}

void GuiProgram::Finish() {
  if (!window_) return;
  window_->Detach();
  // The address lists window is its table's view: it goes before the table does.
  address_lists_.reset();
  removal_.reset();
  model_.Attach(nullptr, nullptr);
}

}  // namespace pelrion::app
