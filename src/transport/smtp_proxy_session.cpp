#include "transport/smtp_proxy_session.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/ascii.h"
#include "mailformat/protocol_text.h"
#include "platform/random.h"
#include "transport/ehlo_reply_filter.h"
#include "transport/end_of_data.h"
#include "transport/relay.h"
#include "transport/smtp_header_stamp.h"
#include "transport/smtp_reply_text.h"

namespace pelrion::transport {
namespace {

// A greeting longer than this many lines is no SMTP server's.
constexpr std::size_t kGreetingLineCount = 100;
// Message lines go upstream in batches of about this size rather than one send per line;
// most messages go in one.
constexpr std::size_t kCopyBatch = 256 * 1024;

constexpr std::string_view kEndOfData = ".\r\n";
constexpr std::string_view kEmptyLine = "\r\n";

// The command word: the text before the first space or line end.
std::string_view CommandVerb(std::string_view command) {
  const std::size_t end = command.find_first_of(" \r\n");
  return command.substr(0, end);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         mailformat::ascii::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The relay writes each reply line, and the last piece of each message, as soon as it has it,
// and then waits for the other side: Nagle's algorithm would hold such a short write back
// until the peer's delayed acknowledgement, some milliseconds per command.
void SendWithoutDelay(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

class SmtpProxySession {
 public:
  SmtpProxySession(NetConnection& client, NetConnection& upstream, const ListenerWork& listener,
                   const SmtpProxyPorts& ports)
      : client_(client), upstream_(upstream), listener_(listener), ports_(ports) {}

  [[noreturn]] void Run() {
    client_.set_line_limit(kProxyLineLimit);
    upstream_.set_line_limit(kSmtpReplyLineLimit);
    Open();
    for (;;) Command();
  }

 private:
  void Open();
  std::vector<std::string> ReadGreeting();
  void ProtectByPolicy(TlsMode mode, std::uint32_t address);
  void StartTls();
  void Command();
  std::string ReadReply();
  std::string RelayReply(bool ehlo);
  void TransferMessage();
  std::string Stamped(std::string block, bool header_only);
  void TrustRecipients(const std::vector<RecipientToTrust>& recipients);
  void CopyRestOfMessage(std::string batch);
  [[noreturn]] void EndClient(std::string_view last_words, NetError why);

  NetConnection& client_;
  NetConnection& upstream_;
  const ListenerWork& listener_;
  const SmtpProxyPorts& ports_;
};

// The client sees the server's first greeting only once the upstream is as protected as the
// policy wants; its own EHLO then goes over the protected connection.
void SmtpProxySession::Open() {
  const auto port = static_cast<std::uint16_t>(listener_.server_port);
  const std::uint32_t address = upstream_.ResolveHost(listener_.server_host);
  upstream_.Connect(address, port);
  const TlsMode mode = TlsModeFromNumber(listener_.tls_mode);
  if (UsesImplicitTls(mode, port)) StartTls();
  const std::vector<std::string> greeting = ReadGreeting();
  if (!upstream_.tls_active() && mode != TlsMode::kNever &&
      mailformat::ReplyCodeOf(greeting.back()) == 220) {
    ProtectByPolicy(mode, address);
  }
  for (const std::string& line : greeting) client_.SendText(line);
}

std::vector<std::string> SmtpProxySession::ReadGreeting() {
  std::vector<std::string> lines;
  do {
    if (lines.size() == kGreetingLineCount) throw MakeNetError(kNetLineTooLong);
    lines.emplace_back(upstream_.ReadLine());
  } while (IsContinuedReply(lines.back()));
  return lines;
}

void SmtpProxySession::ProtectByPolicy(TlsMode mode, std::uint32_t address) {
  upstream_.SendText("EHLO " + ports_.host_name + "\r\n");
  bool offers_tls = false;
  std::string line;
  do {
    line = upstream_.ReadLine();
    offers_tls |= AnnouncesKeyword(line, "STARTTLS");
  } while (IsContinuedReply(line));
  // A refused EHLO offers nothing.
  if (mailformat::ReplyCodeOf(line) != 250) offers_tls = false;
  switch (ports_.policy(mode, offers_tls, address)) {
    case PlainConversation::kContinue:
      return;
    case PlainConversation::kRefuse:
      EndClient(kUnprotectedRefusal, MakeNetError(kNetTlsRequired));
    case PlainConversation::kUpgrade:
      upstream_.SendText("STARTTLS\r\n");
      if (mailformat::ReplyCodeOf(ReadReply()) != 220) {
        EndClient(kUnprotectedRefusal, MakeNetError(kNetTlsRequired));
      }
      StartTls();
      return;
  }
}

void SmtpProxySession::StartTls() {
  TlsPeer peer;
  peer.host_name = listener_.server_host;
  peer.pinned_fingerprint = listener_.tls_fingerprint;
  peer.extra_ca_file = listener_.tls_ca_file;
  upstream_.StartTls(peer);
}

void SmtpProxySession::Command() {
  const std::string command(client_.ReadLine());
  const std::string_view verb = CommandVerb(command);
  if (mailformat::ascii::EqualsIgnoreCase(verb, "STARTTLS")) {
    client_.SendText(kStartTlsRefusal);
    return;
  }
  if (mailformat::ascii::EqualsIgnoreCase(verb, "BDAT")) {
    EndClient(kBdatRefusal, MakeNetError(kNetEnded));
  }
  upstream_.SendText(command);
  if (command[0] == 'X' || command[0] == 'x') Relay(client_, upstream_);
  const int code =
      mailformat::ReplyCodeOf(RelayReply(mailformat::ascii::EqualsIgnoreCase(verb, "EHLO")));
  if (code == 421) EndClient({}, MakeNetError(kNetEnded));
  if (StartsWithIgnoringCase(command, "QUIT") && code == 221) {
    EndClient({}, MakeNetError(kNetEnded));
  }
  if (StartsWithIgnoringCase(command, "DATA") && code == 354) {
    TransferMessage();
    RelayReply(false);
  }
}

// The last line of the server's reply, the reply not passed on.
std::string SmtpProxySession::ReadReply() {
  std::string line;
  do {
    line = upstream_.ReadLine();
  } while (IsContinuedReply(line));
  return line;
}

// Passes the server's reply on line by line; its last line.
std::string SmtpProxySession::RelayReply(bool ehlo) {
  EhloReplyFilter filter;
  std::string line;
  do {
    line = upstream_.ReadLine();
    const std::string out = ehlo ? filter.Pass(line) : line;
    if (!out.empty()) client_.SendText(out);
  } while (IsContinuedReply(line));
  return line;
}

// The header block is collected and stamped; a message that ends before its empty line is
// all header and is stamped as well (its stamps end it, no empty line is added). A block
// growing past the limit goes on as it came, and so does the rest.
void SmtpProxySession::TransferMessage() {
  std::string block;
  for (;;) {
    const std::string_view line = client_.ReadLine();
    if (line == kEndOfData) {
      upstream_.SendText(Stamped(std::move(block), true) + std::string(kEndOfData));
      return;
    }
    if (block.size() + line.size() > kProxyHeaderLimit) {
      block += line;
      CopyRestOfMessage(std::move(block));
      return;
    }
    block += line;
    if (line == kEmptyLine) break;
  }
  CopyRestOfMessage(Stamped(std::move(block), false));
}

// The header block with its stamps, once the recipients are trusted.
std::string SmtpProxySession::Stamped(std::string block, bool header_only) {
  if (header_only) block += kEmptyLine;
  StampValues values{ports_.installation_id, ports_.host_name, platform::Random32(),
                     static_cast<std::uint32_t>(std::time(nullptr))};
  StampedHeader stamped = StampHeaderBlock(std::move(block), values);
  if (header_only) stamped.block.resize(stamped.block.size() - kEmptyLine.size());
  if (ports_.trust_recipients && ports_.trust_recipients()) TrustRecipients(stamped.recipients);
  return std::move(stamped.block);
}

// Everyone the user writes to becomes a trusted contact, unless black-listed or known. An
// address on either list is left alone without asking to add it: adding would do nothing for
// a trusted one, so the usual message (to people already trusted) costs one call per
// recipient on the main thread instead of two.
void SmtpProxySession::TrustRecipients(const std::vector<RecipientToTrust>& recipients) {
  constexpr std::uint32_t kTrustedOrBlackList = 3;
  for (const RecipientToTrust& recipient : recipients) {
    if (ports_.addresses.LookupAddress(recipient.address, kTrustedOrBlackList) != 0) continue;
    ports_.addresses.AddContactIfNew(recipient.name, {recipient.address}, 0);
  }
}

// After what is already in batch, everything up to and including the end of data, unchanged
// and in order. The body is copied in large pieces as it arrives (only the end-of-data line is
// looked for), not line by line; what the client sent after it goes back to the line reader.
void SmtpProxySession::CopyRestOfMessage(std::string batch) {
  const std::string taken = client_.TakeBuffered();
  const std::size_t capacity = std::max(kCopyBatch, taken.size());
  const std::unique_ptr<char[]> buffer(new char[capacity]);  // no zero fill: it is read into
  std::copy(taken.begin(), taken.end(), buffer.get());
  std::size_t have = taken.size();
  bool at_line_start = true;  // the batch ends with a whole line
  for (;;) {
    const std::string_view data(buffer.get(), have);
    if (const auto end = FindEndOfData(data, at_line_start)) {
      // A bare-LF end line goes on as the server expects it.
      batch.append(data.substr(0, end->start));
      batch += kEndOfData;
      upstream_.SendText(batch);
      client_.GiveBack(data.substr(end->end));
      return;
    }
    const std::size_t decided = have - UndecidedTail(data, at_line_start);
    if (decided > 0) at_line_start = data[decided - 1] == '\n';
    if (!batch.empty()) {
      batch.append(data.substr(0, decided));
      upstream_.SendText(batch);
      batch = std::string();
    } else {
      upstream_.SendAll(buffer.get(), decided);
    }
    std::copy(buffer.get() + decided, buffer.get() + have, buffer.get());
    have -= decided;
    have += client_.ReceiveSome(buffer.get() + have, capacity - have);
  }
}

void SmtpProxySession::EndClient(std::string_view last_words, NetError why) {
  if (!last_words.empty()) client_.SendText(last_words);
  client_.Close(true);
  throw why;
}

}  // namespace

void RunSmtpProxySession(NetConnection& client, WorkerJob& record, const ListenerWork& listener,
                         const SmtpProxyPorts& ports) {
  NetConnection upstream(ports.timeout_seconds, ports.timeout_seconds, &record);
  upstream.Create();
  record.SetSocket(upstream.handle(), 1);
  SendWithoutDelay(upstream.handle());
  SendWithoutDelay(client.handle());
  SmtpProxySession(client, upstream, listener, ports).Run();
}

}  // namespace pelrion::transport
