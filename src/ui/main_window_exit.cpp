// Showing, hiding and closing the main window: the tray, the window without a tray, and the
// question asked before a real exit while mail clients are being served.
#include <QCloseEvent>
#include <QDialog>

#include "ui/main_window.h"
#include "ui/network_error_box.h"
#include "ui/proxy_warning_dialog.h"
#include "ui/transfer_status_window.h"
#include "ui/tray_icon.h"

namespace pelrion::ui {

void MainWindow::ShowWindow() {
  ports_.main_thread.KillTimer(kTrayUpkeepTimer);
  show();
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  raise();
  activateWindow();
}

void MainWindow::HideToTray() {
  if (tray_available()) {
    hide();
    StartTrayUpkeep();
    return;
  }
  // Hidden without a tray, the program could not be found again: it stays in the task bar.
  showMinimized();
  if (told_no_tray_) return;
  told_no_tray_ = true;
  ports_.dialogs.MessageBox(kNoTrayNotice, "Pelrion", platform::DialogIcon::kInformation,
                            platform::DialogButtons::kOk);
}

// While the window is hidden, the icon is put back should the notification area have
// restarted and lost it.
void MainWindow::StartTrayUpkeep() {
  ports_.main_thread.SetTimer(kTrayUpkeepTimer, kTrayUpkeepMs, [this] {
    if (tray_available()) tray_->SetVisible(true);
  });
}

void MainWindow::RequestExit() {
  exit_requested_ = true;
  close();
}

void MainWindow::OnTrayActivated() {
  if (services_.cycle != nullptr && !services_.cycle->errors().empty()) {
    ShowNetworkErrors();
    return;
  }
  ShowWindow();
}

void MainWindow::ShowNetworkErrors() {
  if (services_.cycle == nullptr || services_.cycle->errors().empty()) return;
  const std::vector<cycle::NetworkErrorReport> reports = services_.cycle->errors().reports();
  const std::string lines = services_.cycle->TakeNetworkErrors();
  auto box = MakeNetworkErrorBox(lines, isVisible() ? this : nullptr);
  run_dialog(*box);
  if (services_.pin_certificate && services_.accounts != nullptr) {
    OfferCertificatePins(reports, *services_.accounts, ports_.dialogs, services_.pin_certificate);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The title bar's close button hides like File > Close; only the tray's Exit ends the
  // program. Without a tray the close button is the way out.
  if (!exit_requested_ && tray_available()) {
    event->ignore();
    HideToTray();
    return;
  }
  if (!ShutdownRequest()) {
    exit_requested_ = false;
    event->ignore();
    return;
  }
  event->accept();
}

bool MainWindow::ShutdownRequest() {
  const std::size_t open = services_.active_connections ? services_.active_connections() : 0;
  if (ports_.preferences.warnproxy != 0 && open > 0) {
    ProxyWarningDialog question(services_.active_connections, this);
    if (run_dialog(question) != QDialog::Accepted) return false;
  }
  ports_.main_thread.KillTimer(kTrayUpkeepTimer);
  tray_->SetVisible(false);
  transfer_->hide();
  hide();
  SaveLayout();
  if (on_exit) on_exit();
  return true;
}

}  // namespace pelrion::ui
