// How a mail worker tells the rest of the program what it is doing. Qt-free: the program's
// implementation forwards each call to the main thread; tests record them.
#pragma once

#include <cstdint>
#include <string>

namespace pelrion::transport {

// The progress shown in the main window while a worker runs.
struct StatusRecord {
  std::string main_text;
  std::string sub_text;
  int percent = 0;
  bool busy = false;
};

// Which protocol a report or notice is about.
enum class MailProtocol : std::uint32_t { kPop3 = 0, kSmtp = 1 };

class WorkerReports {
 public:
  virtual ~WorkerReports() = default;

  // What the worker is doing now (the tray icon's state).
  virtual void ActivityState(int state) = 0;
  // The status record changed; `notify` says which of its parts the window redraws.
  virtual void StatusChanged(const StatusRecord& status, int notify) = 0;
  // A failure of one account's conversation, in the words the user sees. certificate is the
  // SHA-256 fingerprint of the certificate the server presented when verifying it failed
  // (the user may choose to pin it), else empty.
  virtual void NetworkErrorReport(const std::string& mail_server, std::uint32_t account_id,
                                  MailProtocol protocol, const std::string& text,
                                  const std::string& certificate) = 0;
  // One account's conversation ended well.
  virtual void SuccessNotice(const std::string& mail_server, std::uint32_t account_id,
                             MailProtocol protocol) = 0;
  // The worker has ended.
  virtual void Finished() = 0;
};

}  // namespace pelrion::transport
