#include "ui/window_cycle_view.h"

#include <utility>

#include "ui/status_panes.h"
#include "ui/transfer_status_window.h"
#include "ui/tray_icon.h"

namespace pelrion::ui {

WindowCycleView::WindowCycleView(StatusPanes& panes, TrayIcon& tray, TransferStatusWindow& transfer,
                                 std::function<void(bool)> offline_changed)
    : panes_(panes),
      tray_(tray),
      transfer_(transfer),
      offline_changed_(std::move(offline_changed)) {}

void WindowCycleView::ActivityChanged(std::string_view text) {
  panes_.SetActivity(text);
}

void WindowCycleView::StatusChanged(const transport::StatusRecord& status) {
  transfer_.Show(status);
}

void WindowCycleView::ReportAdded(const cycle::NetworkErrorReport&) {}

void WindowCycleView::IndicatorsChanged(bool has_errors, bool offline) {
  panes_.SetNetworkErrors(has_errors);
  panes_.SetOffline(offline);
  tray_.Update(has_errors, offline);
  if (offline_changed_) offline_changed_(offline);
}

}  // namespace pelrion::ui
