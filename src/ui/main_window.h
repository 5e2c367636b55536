// CMainFrame: the main window. The folder bar and the message list side by side, the menus,
// the toolbar and the context menus, the status bar, the tray icon and the transfer status
// window. Each command is one call into the operations the control commands use as well;
// the window only asks what must be asked and shows what changed.
#pragma once

#include <QMainWindow>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/preferences.h"
#include "cycle/cycle_ports.h"
#include "cycle/mail_cycle.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "platform/xdg_mime_apps.h"
#include "store/account_table.h"
#include "store/address_list_table.h"
#include "store/message_table.h"
#include "ui/certificate_pin_offer.h"
#include "ui/explorer_desktop.h"
#include "ui/main_window_commands.h"
#include "ui/message_list_model.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;

namespace pelrion::ui {

class FolderBar;
class MessageListView;
class StatusPanes;
class TrayIcon;
class TransferStatusWindow;
class WindowCycleView;

// The main window's timers (ids shared with the cycle's on the main-thread port).
inline constexpr int kTrayUpkeepTimer = 1;
inline constexpr int kTrayUpkeepMs = 5000;
inline constexpr int kProxyPaneTimer = 3;
inline constexpr int kProxyPaneMs = 400;

inline constexpr const char* kDeleteForGoodQuestion =
    "Are you sure you want to permanently delete these message(s)?";
inline constexpr const char* kDataCheckFailed = "Data check failed: %1";
inline constexpr const char* kNoMailViewer =
    "There are no e-mail viewers registered on the system.\n\nTo solve this issue, please "
    "install a desktop mail program and make it the default application for e-mail "
    "messages (.eml files).";
inline constexpr const char* kNoTrayNotice =
    "This desktop has no notification area, so Pelrion cannot hide in it. The window is "
    "minimised instead; Pelrion keeps filtering your mail while it is.";
inline constexpr const char* kNoQuarantineTarget =
    "A message enters the Quarantine only when it arrives.";

// What the window needs from its first moment: the stores are opened after it exists (the
// list model hears of every message as it loads).
struct MainWindowPorts {
  platform::Dialogs& dialogs;
  platform::MainThread& main_thread;
  platform::Registry& registry;
  const core::Preferences& preferences;
  MessageListModel& model;  // the message store's view; outlives the window
};

// What start-up has made by the time the window is attached. Everything outlives the window
// or is detached first.
struct MainWindowServices {
  store::MessageTable* messages = nullptr;
  store::AccountTable* accounts = nullptr;
  store::AddressListTable* address_lists = nullptr;
  cycle::MailCycle* cycle = nullptr;
  // "Mail Proxy: ..." as the listeners are now; missing: always down.
  std::function<std::string()> proxy_state;
  // The mail-client connections open now.
  std::function<std::size_t()> active_connections;
  std::string temp_folder;  // ends in '/'
  platform::ViewerCommand eml_viewer;
  // Starts viewer on a file; false when it could not.
  std::function<bool(const std::string& path, const platform::ViewerCommand& viewer)> launch;
  ExplorerDesktop desktop;
  // The windows of the program's settings, by the command that opens each (Address Lists,
  // Options, Accounts...); a command missing here stays disabled.
  std::map<Command, std::function<void()>> windows;
  // Pins a refused certificate for a listener's server; missing: no pin is offered.
  PinCertificateFn pin_certificate;
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(const MainWindowPorts& ports, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The cycle's view: status panes, tray icon and transfer status window.
  cycle::CycleView& cycle_view();
  void Attach(MainWindowServices services);
  // Stops the window's timers and forgets the stores (before they close).
  void Detach();

  void Run(Command command);
  // Check Mail for one account (the drop-down's entries) or all included (nullopt).
  void CheckMail(std::optional<std::uint32_t> account);
  void ShowFolder(store::Folder folder);
  store::Folder current_folder() const;
  // The selected messages, in list order.
  std::vector<store::MessageRecord*> Selection() const;

  void ShowWindow();
  // File > Close: into the tray, or minimised (saying why, once) where there is none.
  void HideToTray();
  // The tray's Exit: a real close, which asks first while mail clients are being served.
  void RequestExit();
  // The tray icon's activation and the error pane: the network errors when there are any,
  // the window otherwise.
  void OnTrayActivated();
  void ShowNetworkErrors();
  // Timer 3: the proxy pane's text and icon.
  void UpdateProxyPane();
  // Every row drawn again (a refused account removal highlights messages in place).
  void RedrawMessages();

  void RestoreLayout();
  void SaveLayout() const;

  // Called once the close has been confirmed (the program then ends its event loop).
  std::function<void()> on_exit;
  // Runs a modal dialog; tests answer in place of a person.
  std::function<int(QDialog&)> run_dialog;
  // The Move to Folder chooser; tests answer in place of a person.
  std::function<std::optional<store::Folder>(store::Folder current)> choose_folder;

  // The main menu's action of a command (its checked and enabled state are the window's).
  QAction* action(Command command) const;
  QToolBar* toolbar() const { return toolbar_; }
  QToolButton* check_mail_button() const { return check_mail_button_; }
  QMenu* check_mail_menu() const { return check_mail_menu_; }
  QMenu* message_menu() const { return message_menu_; }
  QMenu* background_menu() const { return background_menu_; }
  QMenu* folder_menu() const { return folder_menu_; }
  QMenu* folder_bar_menu() const { return folder_bar_menu_; }
  MessageListView* list() const { return list_; }
  FolderBar* folder_bar() const { return folder_bar_; }
  QLabel* folder_caption() const { return caption_; }
  StatusPanes& panes() const { return *panes_; }
  TrayIcon& tray() const { return *tray_; }
  TransferStatusWindow& transfer_window() const { return *transfer_; }
  bool tray_available() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A double click on the status bar's error pane shows the network errors.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Menus, toolbar and context menus (main_window_menus.cpp).
  void BuildMenus();
  void BuildToolbar();
  void BuildContextMenus();
  QAction* AddCommand(QMenu* menu, const char* label, Command command);
  void FillCheckMailMenu();
  void FillSortMenu(QMenu* menu);
  void UpdateCommandStates();
  void UpdateSortChecks();

  // Command effects (main_window_commands.cpp).
  void OpenMessages();
  void OpenProgramWindow(Command command);
  bool OpenMessage(store::MessageRecord& record);
  void ShowProperties(bool folder);
  void DeleteSelection();
  void MoveSelection();
  void MarkSelection(bool read);
  void MarkAllRead();
  void SortBy(int column, Qt::SortOrder order);
  void ShowAbout();

  // Close and exit (main_window_exit.cpp).
  bool ShutdownRequest();
  void StartTrayUpkeep();

  void UpdateCounts();
  void UpdateTitle();
  void IndicatorsShown(bool offline);

  MainWindowPorts ports_;
  MainWindowServices services_;
  FolderBar* folder_bar_ = nullptr;
  MessageListView* list_ = nullptr;
  QLabel* caption_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QToolButton* check_mail_button_ = nullptr;
  QMenu* check_mail_menu_ = nullptr;
  QMenu* message_menu_ = nullptr;
  QMenu* background_menu_ = nullptr;
  QMenu* folder_menu_ = nullptr;
  QMenu* folder_bar_menu_ = nullptr;
  QMenu* sort_menu_ = nullptr;
  std::unique_ptr<StatusPanes> panes_;
  std::unique_ptr<TrayIcon> tray_;
  TransferStatusWindow* transfer_ = nullptr;
  std::unique_ptr<WindowCycleView> cycle_view_;
  // Every action of each command, in all menus and on the toolbar; the first is the main
  // menu's.
  std::multimap<Command, QAction*> actions_;
  std::vector<std::pair<int, QAction*>> sort_column_actions_;  // column, entry
  int folder_bar_width_ = 110;
  int proxy_updates_ = 0;
  bool exit_requested_ = false;
  bool told_no_tray_ = false;
  bool attached_ = false;
};

}  // namespace pelrion::ui
