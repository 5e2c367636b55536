// What the mail cycle shows in the desktop program: the activity and indicator panes of the
// status bar, the tray icon's form and tooltip, and the transfer status window.
#pragma once

#include <functional>

#include "cycle/cycle_ports.h"

namespace pelrion::ui {

class StatusPanes;
class TrayIcon;
class TransferStatusWindow;

class WindowCycleView : public cycle::CycleView {
 public:
  // offline_changed lets the window follow the switch (the Work Offline check mark).
  WindowCycleView(StatusPanes& panes, TrayIcon& tray, TransferStatusWindow& transfer,
                  std::function<void(bool offline)> offline_changed);

  void ActivityChanged(std::string_view text) override;
  void StatusChanged(const transport::StatusRecord& status) override;
  // The error pane and the tray follow through IndicatorsChanged, which comes with it.
  void ReportAdded(const cycle::NetworkErrorReport& report) override;
  void IndicatorsChanged(bool has_errors, bool offline) override;

 private:
  StatusPanes& panes_;
  TrayIcon& tray_;
  TransferStatusWindow& transfer_;
  std::function<void(bool)> offline_changed_;
};

}  // namespace pelrion::ui
