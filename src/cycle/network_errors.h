// The network-error list: the failures the mail workers and the listeners reported, kept
// until the user looks at them. At most one report per source: a newer failure of the same
// account and protocol (or of the same listener) replaces the older one, and a success of
// that source removes it. Lives on the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transport/worker_reports.h"

namespace pelrion::cycle {

// Where a report came from.
enum class ReportOrigin : std::uint32_t { kMailServer = 0, kListener = 1 };

// The source a report is about: (mail server, account id, protocol) or (listener, listener
// id). A listener's key ignores the protocol.
struct ReportKey {
  ReportOrigin origin = ReportOrigin::kMailServer;
  std::uint32_t id = 0;  // the account id, or the listener id
  transport::MailProtocol protocol = transport::MailProtocol::kPop3;

  friend bool operator==(const ReportKey& a, const ReportKey& b);
};

ReportKey MailServerKey(std::uint32_t account_id, transport::MailProtocol protocol);
ReportKey ListenerKey(std::uint32_t listener_id);

struct NetworkErrorReport {
  ReportKey key;
  std::string text;
  std::int64_t time = 0;  // seconds since 1970 UTC, when the report was added
  std::uint64_t serial = 0;  // 1 for the first report the list took, then counting up
  // The fingerprint of the certificate the server presented when verifying it failed, which
  // the user may choose to pin; empty for every other failure.
  std::string certificate;
};

// The tooltip of the error pane and of the tray icon while reports exist.
inline constexpr std::string_view kNetworkErrorText =
    "A network error has occured. Please, double-click the icon.";
// The tray tooltip otherwise, and the caption of the box that lists the reports.
inline constexpr std::string_view kProgramTitle = "Pelrion";
inline constexpr std::string_view kOfflineTitle = "Pelrion - Working Offline";

// The tray tooltip: offline wins over errors, errors over the plain title.
std::string_view TrayTooltip(bool has_errors, bool offline);

// A report's time stamp in local time, as month/day/two-digit year hour:minute with no
// leading zero on the month, the day or the hour ("3/7/26 9:05").
std::string FormatReportTime(std::int64_t seconds);

class NetworkErrorList {
 public:
  // Removes the report with the same key, stamps this one with the current time and
  // appends it.
  void Add(const ReportKey& key, std::string text, std::string certificate = {});
  // Removes the report with that key; false when there was none.
  bool Clear(const ReportKey& key);
  // Removes both reports of an account (an account deleted for good).
  void ClearAccount(std::uint32_t account_id);

  // One "time   text\n" line per report in arrival order; the list is emptied.
  std::string TakeText();

  bool empty() const { return reports_.empty(); }
  // The serial the next report will get: the reports added after this call are those whose
  // serial is at least this.
  std::uint64_t next_serial() const { return next_serial_; }
  const std::vector<NetworkErrorReport>& reports() const { return reports_; }

 private:
  std::vector<NetworkErrorReport> reports_;  // in arrival order
  std::uint64_t next_serial_ = 1;
};

}  // namespace pelrion::cycle
