#include "app/headless_view.h"

namespace pelrion::app {

HeadlessView::HeadlessView(std::ostream& out) : out_(out) {}

void HeadlessView::ActivityChanged(std::string_view text) {
  if (text == activity_) return;
  activity_ = text;
  if (!text.empty()) out_ << text << std::endl;
}

void HeadlessView::StatusChanged(const transport::StatusRecord&) {}

void HeadlessView::ReportAdded(const cycle::NetworkErrorReport& report) {
  out_ << cycle::FormatReportTime(report.time) << "   " << report.text << std::endl;
}

void HeadlessView::IndicatorsChanged(bool, bool offline) {
  if (offline == offline_) return;
  offline_ = offline;
  out_ << (offline ? cycle::kOfflineTitle : cycle::kProgramTitle) << std::endl;
}

}  // namespace pelrion::app
