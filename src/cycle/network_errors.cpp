#include "cycle/network_errors.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock.h"

namespace pelrion::cycle {

bool operator==(const ReportKey& a, const ReportKey& b) {
  if (a.origin != b.origin || a.id != b.id) return false;
  return a.origin == ReportOrigin::kListener || a.protocol == b.protocol;
}

ReportKey MailServerKey(std::uint32_t account_id, transport::MailProtocol protocol) {
  return {ReportOrigin::kMailServer, account_id, protocol};
}

ReportKey ListenerKey(std::uint32_t listener_id) {
  return {ReportOrigin::kListener, listener_id, transport::MailProtocol::kPop3};
}

std::string_view TrayTooltip(bool has_errors, bool offline) {
  if (offline) return kOfflineTitle;
  return has_errors ? kNetworkErrorText : kProgramTitle;
}

std::string FormatReportTime(std::int64_t seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%02d %d:%02d", local.tm_mon + 1, local.tm_mday,
                (local.tm_year % 100 + 100) % 100, local.tm_hour, local.tm_min);
  return text;
}

void NetworkErrorList::Add(const ReportKey& key, std::string text, std::string certificate) {
  Clear(key);
  reports_.push_back(
      {key, std::move(text), platform::Now(), next_serial_++, std::move(certificate)});
}

bool NetworkErrorList::Clear(const ReportKey& key) {
  const auto found = std::find_if(reports_.begin(), reports_.end(),
                                  [&](const NetworkErrorReport& r) { return r.key == key; });
  if (found == reports_.end()) return false;
  reports_.erase(found);
  return true;
}

void NetworkErrorList::ClearAccount(std::uint32_t account_id) {
  std::erase_if(reports_, [&](const NetworkErrorReport& r) {
    return r.key.origin == ReportOrigin::kMailServer && r.key.id == account_id;
  });
}

std::string NetworkErrorList::TakeText() {
  std::string text;
  for (const NetworkErrorReport& report : reports_) {
    text += FormatReportTime(report.time) + "   " + report.text + "\n";
  }
  reports_.clear();
  return text;
}

}  // namespace pelrion::cycle
