#include "transport/send_session.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "mailformat/base64.h"
#include "mailformat/protocol_text.h"
#include "platform/host_name.h"
#include "transport/smtp_reply_text.h"
#include "transport/tls_stream.h"
#include "validation/authorization_request.h"
#include "validation/request_output.h"

namespace pelrion::transport {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}


// Writes the composed request straight to the connection.
class ConnectionOutput : public validation::RequestOutput {
 public:
  explicit ConnectionOutput(NetConnection& connection) : connection_(connection) {}
  void Write(std::string_view text) override { connection_.SendText(text); }

 private:
  NetConnection& connection_;
};

// "5.1.1" after the code gives class 5, subject 1; none when the text has no such code.
bool EnhancedSubject(std::string_view line, int& subject) {
  if (line.size() < 9) return false;
  std::string_view rest = line.substr(4);
  if (!std::isdigit(static_cast<unsigned char>(rest[0])) || rest[1] != '.') return false;
  if (!std::isdigit(static_cast<unsigned char>(rest[2]))) return false;
  std::size_t at = 3;
  while (at < rest.size() && std::isdigit(static_cast<unsigned char>(rest[at]))) ++at;
  if (at >= rest.size() || rest[at] != '.' || at + 1 >= rest.size() ||
      !std::isdigit(static_cast<unsigned char>(rest[at + 1]))) {
    return false;
  }
  subject = std::stoi(std::string(rest.substr(2, at - 2)));
  return true;
}

}  // namespace

RecipientVerdict ClassifyRecipientReply(std::string_view line) {
  const int code = mailformat::ReplyCodeOf(line);
  if (code == 250 || code == 251) return RecipientVerdict::kAccepted;
  if (code == 501 || code == 555) return RecipientVerdict::kRefused;
  if (code == 530) return RecipientVerdict::kGroupFails;
  if (code == 550 || code == 553) {
    int subject = 0;
    if (!EnhancedSubject(line, subject) || subject == 1) return RecipientVerdict::kRefused;
    if (subject == 7) return RecipientVerdict::kGroupFails;
  }
  return RecipientVerdict::kSkipped;
}

SendSession::SendSession(NetConnection& connection, const validation::SendGroupWork& group,
                         const core::Preferences& settings,
                         WorkerReports& reports, validation::RequestOutcomes& outcomes,
                         PlainConversationPolicy policy)
    : connection_(connection),
      group_(group),
      settings_(settings),
      reports_(reports),
      outcomes_(outcomes),
      policy_(std::move(policy)),
      mode_(TlsModeFromNumber(group.tls_mode)) {}

void SendSession::Run() {
  connection_.set_line_limit(kSmtpReplyLineLimit);
  try {
    Converse();
  } catch (const SmtpRefusal&) {
    Quit();
    throw;
  } catch (NetError error) {
    // A reply line past the limit is the server's fault, not the network's.
    if ((error & 0xFFFF) == kNetLineTooLong) {
      Quit();
      throw SmtpRefusal{ErrorText(error) + "."};
    }
    throw;
  }
  Quit();
}

void SendSession::Converse() {
  reports_.ActivityState(2);
  SetStatus("Connecting to '" + group_.account_name + "'...", "", 0, 7);
  const auto port = static_cast<std::uint16_t>(group_.server_port);
  server_address_ = connection_.ResolveHost(group_.server_host);
  connection_.Connect(server_address_, port);
  if (UsesImplicitTls(mode_, port)) UpgradeToTls();
  Greet();
  if (GreetsWithEhlo()) {
    OpenWithEhlo();
  } else {
    Helo();
  }
  SendRequests();
}

void SendSession::Greet() {
  const std::string greeting = ReadReply();
  if (mailformat::ReplyCodeOf(greeting) != 220) throw SmtpRefusal{greeting};
}

// EHLO is needed to learn about AUTH, and, on a plain connection the policy may upgrade, to
// learn about STARTTLS. Without either need HELO is all the conversation asks for.
bool SendSession::GreetsWithEhlo() const {
  if (group_.smtp_authentication) return true;
  return !connection_.tls_active() && mode_ != TlsMode::kNever;
}

void SendSession::OpenWithEhlo() {
  Capabilities capabilities = Ehlo();
  if (!capabilities.refusal.empty()) {
    FallBackToHelo(capabilities.refusal);
    return;
  }
  if (!connection_.tls_active()) {
    switch (policy_(mode_, capabilities.starttls, server_address_)) {
      case PlainConversation::kUpgrade:
        Expect("STARTTLS\r\n", 220);
        UpgradeToTls();
        capabilities = Ehlo();
        if (!capabilities.refusal.empty()) throw SmtpRefusal{capabilities.refusal};
        break;
      case PlainConversation::kRefuse:
        throw MakeNetError(kNetTlsRequired);
      case PlainConversation::kContinue:
        break;
    }
  }
  if (group_.smtp_authentication) Authenticate(capabilities);
}

// A server that refuses EHLO offers neither STARTTLS nor AUTH. HELO may stand in for it only
// where plain text is allowed anyway and no log-in is needed.
void SendSession::FallBackToHelo(const std::string& refusal) {
  if (mailformat::ReplyCodeOf(refusal) / 100 != 5 || group_.smtp_authentication) {
    throw SmtpRefusal{refusal};
  }
  if (policy_(mode_, false, server_address_) != PlainConversation::kContinue) {
    throw MakeNetError(kNetTlsRequired);
  }
  Helo();
}

void SendSession::Helo() { Expect("HELO " + platform::HostName() + "\r\n", 250); }

SendSession::Capabilities SendSession::Ehlo() {
  connection_.SendText("EHLO " + platform::HostName() + "\r\n");
  Capabilities capabilities;
  bool auth_seen = false;
  std::string line;
  do {
    line = std::string(connection_.ReadLine());
    const std::string_view keyword = line.size() > 4 ? std::string_view(line).substr(4) : "";
    if (!auth_seen && keyword.size() >= 5 && EqualsIgnoringCase(keyword.substr(0, 5), "AUTH ")) {
      auth_seen = true;
      for (const std::string& word : mailformat::SplitBySpace(line)) {
        capabilities.auth_login |= EqualsIgnoringCase(word, "LOGIN");
        capabilities.auth_plain |= EqualsIgnoringCase(word, "PLAIN");
      }
    }
    capabilities.starttls |= AnnouncesKeyword(line, "STARTTLS");
  } while (IsContinuedReply(line));
  if (mailformat::ReplyCodeOf(line) != 250) capabilities.refusal = std::move(line);
  return capabilities;
}

void SendSession::UpgradeToTls() {
  TlsPeer peer;
  peer.host_name = group_.server_host;
  peer.pinned_fingerprint = group_.tls_fingerprint;
  peer.extra_ca_file = group_.tls_ca_file;
  connection_.StartTls(peer);
}

void SendSession::Authenticate(const Capabilities& capabilities) {
  if (!capabilities.auth_login && !capabilities.auth_plain) return;
  reports_.ActivityState(5);
  SetSubText("Authorizing...", 2);
  if (capabilities.auth_login) {
    Expect("AUTH LOGIN\r\n", 334);
    Expect(mailformat::Base64Encode(group_.smtp_user_name) + "\r\n", 334);
    Expect(mailformat::Base64Encode(group_.smtp_password) + "\r\n", 235);
    return;
  }
  std::string credentials;
  credentials.push_back('\0');
  credentials += group_.smtp_user_name;
  credentials.push_back('\0');
  credentials += group_.smtp_password;
  Expect("AUTH PLAIN " + mailformat::Base64Encode(credentials) + "\r\n", 235);
}

void SendSession::SendRequests() {
  reports_.ActivityState(0);
  SetStatus("Sending mail using '" + group_.account_name + "'...", status_.sub_text,
            status_.percent, 1);
  progress_ = 0;
  for (std::size_t i = 0; i < group_.requests.size(); ++i) {
    SendOne(group_.requests[i], i);
    if (i + 1 < group_.requests.size()) Expect("RSET\r\n", 250);
  }
}

void SendSession::SendOne(const validation::RequestWork& request, std::size_t index) {
  const std::size_t count = group_.requests.size();
  SetSubText("Sending authorization request " + std::to_string(index + 1) + " of " +
                 std::to_string(count) + "...",
             2);
  Expect("MAIL FROM: <" + group_.email_address + ">\r\n", 250);
  const std::string& address = request.facts.sender_address;
  connection_.SendText("RCPT TO: <" + address + ">\r\n");
  const std::string reply = ReadReply();
  switch (ClassifyRecipientReply(reply)) {
    case RecipientVerdict::kAccepted: {
      Expect("DATA\r\n", 354);
      ConnectionOutput output(connection_);
      validation::ComposeAuthorizationRequest(request.facts, output, settings_);
      Expect(".\r\n", 250);
      outcomes_.RequestDelivered(address);
      progress_ += 100.0 / static_cast<double>(count);
      status_.percent = std::min(100, static_cast<int>(progress_));
      reports_.StatusChanged(status_, 4);
      return;
    }
    case RecipientVerdict::kRefused:
      outcomes_.RequestRefused(address);
      return;
    case RecipientVerdict::kGroupFails:
      throw SmtpRefusal{reply};
    case RecipientVerdict::kSkipped:
      return;
  }
}

void SendSession::Quit() {
  try {
    reports_.ActivityState(3);
    SetStatus("Disconnecting from '" + group_.account_name + "'...", "", 100, 7);
    connection_.SendText("QUIT\r\n");
    ReadReply();
  } catch (NetError error) {
    // The server may already have closed; the outcome of the group is decided. A stop still
    // ends the worker without a notice for this group.
    if (NetOperationOf(error) == kNetStopped) throw;
  }
}

std::string SendSession::ReadReply() {
  std::string line;
  do {
    line = std::string(connection_.ReadLine());
  } while (IsContinuedReply(line));
  return line;
}

void SendSession::Expect(std::string_view command, int code) {
  connection_.SendText(command);
  const std::string reply = ReadReply();
  if (mailformat::ReplyCodeOf(reply) != code) throw SmtpRefusal{reply};
}

void SendSession::SetStatus(std::string main_text, std::string sub_text, int percent,
                            int notify) {
  status_.main_text = std::move(main_text);
  status_.sub_text = std::move(sub_text);
  status_.percent = percent;
  status_.busy = true;
  reports_.StatusChanged(status_, notify);
}

void SendSession::SetSubText(std::string sub_text, int notify) {
  status_.sub_text = std::move(sub_text);
  reports_.StatusChanged(status_, notify);
}

}  // namespace pelrion::transport
