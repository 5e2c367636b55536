// One account's conversation with its SMTP server: greeting, EHLO (with STARTTLS and AUTH
// where due) or HELO (mode "never" or implicit TLS without log-in, or a server that refuses
// EHLO where plain text is allowed), then one authorization request after another, then QUIT.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/preferences.h"
#include "transport/net_connection.h"
#include "transport/smtp_reply_text.h"
#include "transport/tls_policy.h"
#include "transport/worker_reports.h"
#include "validation/request_outcomes.h"
#include "validation/send_work.h"

namespace pelrion::transport {

// The server's reply line that ended the conversation, trailing white space kept.
struct SmtpRefusal {
  std::string line;
};

// How one RCPT TO reply decides the fate of its request.
enum class RecipientVerdict {
  kAccepted,   // 250/251: send the request
  kRefused,    // a permanent address failure: the sender is rejected
  kGroupFails, // relaying or policy refusal: the conversation ends with a report
  kSkipped,    // anything else: the request stays waiting, the group goes on
};
RecipientVerdict ClassifyRecipientReply(std::string_view line);

class SendSession {
 public:
  SendSession(NetConnection& connection, const validation::SendGroupWork& group,
              const core::Preferences& settings,
              WorkerReports& reports, validation::RequestOutcomes& outcomes,
              PlainConversationPolicy policy = DecidePlainConversation);

  // Throws NetError, or SmtpRefusal after the QUIT.
  void Run();

 private:
  struct Capabilities {
    bool auth_login = false;
    bool auth_plain = false;
    bool starttls = false;
    std::string refusal;  // the server's reply when it refused EHLO, else empty
  };

  void Converse();
  void Greet();
  bool GreetsWithEhlo() const;
  void OpenWithEhlo();
  void FallBackToHelo(const std::string& refusal);
  void Helo();
  Capabilities Ehlo();
  void UpgradeToTls();
  void Authenticate(const Capabilities& capabilities);
  void SendRequests();
  void SendOne(const validation::RequestWork& request, std::size_t index);
  void Quit();

  std::string ReadReply();
  void Expect(std::string_view command, int code);
  void SetStatus(std::string main_text, std::string sub_text, int percent, int notify);
  void SetSubText(std::string sub_text, int notify);

  NetConnection& connection_;
  const validation::SendGroupWork& group_;
  const core::Preferences& settings_;
  WorkerReports& reports_;
  validation::RequestOutcomes& outcomes_;
  PlainConversationPolicy policy_;
  TlsMode mode_;
  std::uint32_t server_address_ = 0;
  StatusRecord status_;
  double progress_ = 0;
};

}  // namespace pelrion::transport
