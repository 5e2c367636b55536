// The mail cycle's view when there is no window: one line on standard error for each change
// of the activity text, each network-error report and each switch between online and
// offline, so a terminal, a journal or a log file shows what the program does.
#pragma once

#include <ostream>
#include <string>

#include "cycle/cycle_ports.h"

namespace pelrion::app {

class HeadlessView : public cycle::CycleView {
 public:
  explicit HeadlessView(std::ostream& out);

  void ActivityChanged(std::string_view text) override;
  // The transfer window's progress is not logged: it changes many times a second.
  void StatusChanged(const transport::StatusRecord& status) override;
  void ReportAdded(const cycle::NetworkErrorReport& report) override;
  void IndicatorsChanged(bool has_errors, bool offline) override;

 private:
  std::ostream& out_;
  std::string activity_;
  bool offline_ = false;
};

}  // namespace pelrion::app
