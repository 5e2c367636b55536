#include "transport/mail_check_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include "mailformat/protocol_text.h"
#include "store/message_record.h"
#include "transport/message_download.h"
#include "transport/net_error.h"
#include "transport/pop3_upstream.h"
#include "validation/arrival_analysis.h"

namespace pelrion::transport {
namespace {

std::string Numbered(const char* format_start, std::uint32_t n, std::uint32_t count) {
  return format_start + std::to_string(n) + " of " + std::to_string(count) + "...";
}

// Removes a message file that never reached the store, also when a step throws.
class UnfiledFile {
 public:
  explicit UnfiledFile(std::string path) : path_(std::move(path)) {}
  ~UnfiledFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  UnfiledFile(const UnfiledFile&) = delete;
  UnfiledFile& operator=(const UnfiledFile&) = delete;
  // The file is someone else's to keep or remove from now on.
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

MailCheckSession::MailCheckSession(NetConnection& connection, const CheckAccountWork& work,
                                   const CheckServices& services, ProgressPublisher& progress,
                                   WorkerReports& reports)
    : connection_(connection),
      work_(work),
      services_(services),
      progress_(progress),
      reports_(reports),
      account_name_(work.account.friendly_name.Text()),
      mode_(TlsModeFromNumber(work.tls_mode)) {}

CheckOutcome MailCheckSession::Run() {
  connection_.set_line_limit(kPop3ReplyLineLimit);
  try {
    return Converse();
  } catch (NetError error) {
    // A reply line past the limit is the server's fault, not the network's.
    if ((error & 0xFFFF) == kNetLineTooLong) throw Pop3Refusal{ErrorText(error) + "."};
    throw;
  }
}

CheckOutcome MailCheckSession::Converse() {
  Connect();
  LogIn();
  const std::uint32_t count = Stat();
  ReceiveAll(count);
  // An account removed during the check has no store left for its mail: whatever is on the
  // server stays there.
  if (count > 0 && !services_.fate.calls.AccountExists(work_.account.id)) {
    Quit();
    return CheckOutcome::kAccountGone;
  }
  if (count > 0) MakeDurable();
  DeleteSafeOnes(count);
  Quit();
  if (!first_retr_refusal_.empty()) throw Pop3Refusal{first_retr_refusal_};
  return CheckOutcome::kComplete;
}

void MailCheckSession::Connect() {
  reports_.ActivityState(2);
  progress_.Set("Connecting to '" + account_name_ + "'...", "", 0, true, 7);
  const Pop3ServerAddress server{work_.server_host, static_cast<std::uint16_t>(work_.server_port),
                                 mode_, work_.tls_fingerprint, work_.tls_ca_file};
  const std::string greeting = OpenPop3Upstream(connection_, server, services_.policy);
  if (!mailformat::IsPositiveReply(greeting)) throw Pop3Refusal{greeting};
}

void MailCheckSession::LogIn() {
  reports_.ActivityState(5);
  progress_.SetSubText("Authorizing...", 2);
  Expect("USER " + std::string(work_.account.pop3_user_name.Text()) + "\r\n");
  Expect("PASS " + std::string(work_.account.pop3_password.Text()) + "\r\n");
}

std::uint32_t MailCheckSession::Stat() {
  reports_.ActivityState(4);
  progress_.Set("Checking for new messages on '" + account_name_ + "'...", "",
                progress_.status().percent, true, 3);
  const std::vector<std::string> words = mailformat::SplitBySpace(Expect("STAT\r\n"));
  const std::int32_t count = words.size() < 3 ? -1 : mailformat::ParseStrictInt(words[1], 10);
  if (count < 0) throw Pop3Refusal{"Invalid response received from POP3 server"};
  if (count > 0) {
    std::int32_t size = mailformat::ParseStrictInt(words[2], 10);
    if (size <= 0) size = 1;
    receive_progress_ = std::make_unique<ReceiveProgress>(progress_, size * 0.01);
    reports_.ActivityState(1);
  }
  return static_cast<std::uint32_t>(count);
}

// The commands go out in the order of a one-at-a-time conversation (RETR n, UIDL n when
// message n has no Message-id, RETR n+1, ...), but RETR n+1 is sent before message n is
// analysed and filed, so that the server sends the next message while this one is worked on.
void MailCheckSession::ReceiveAll(std::uint32_t count) {
  deletable_.assign(count, false);
  if (count > 0) SendRetr(1);
  for (std::uint32_t n = 1; n <= count; ++n) deletable_[n - 1] = ReceiveMessage(n, count);
}

void MailCheckSession::SendRetr(std::uint32_t n) {
  connection_.SendText("RETR " + std::to_string(n) + "\r\n");
}

bool MailCheckSession::ReceiveMessage(std::uint32_t n, std::uint32_t count) {
  progress_.SetSubText(Numbered("Receiving message ", n, count), 2);
  const std::string_view reply = ReadReply();
  if (!mailformat::IsPositiveReply(reply)) {
    // One message the server will not give must not hold back the others: it stays there
    // and the refusal is reported once the rest is done.
    if (first_retr_refusal_.empty()) first_retr_refusal_ = reply;
    if (n < count) SendRetr(n + 1);
    return false;
  }

  auto message = std::make_unique<store::MessageRecord>();
  const std::string path = services_.fate.calls.CreateMessageFile(*message);
  UnfiledFile file(path);
  mailformat::MimeScanner scanner;
  ReceivedMessage received;
  connection_.set_line_limit(0);
  try {
    received = ReceiveMessageFile(connection_, path, scanner, *receive_progress_);
  } catch (const MessageFileError& error) {
    throw Pop3Refusal{error.text};
  }
  connection_.set_line_limit(kPop3ReplyLineLimit);

  // A message without the empty line is all header: its header block runs to the end.
  store::MessageSummary& summary = message->summary;
  summary.header_length = static_cast<std::int32_t>(
      scanner.headers_ended() ? scanner.header_length() : received.size);
  summary.body_line_count = scanner.body_line_count();
  summary.file_size = static_cast<std::uint32_t>(received.size);
  summary.set_part_table(mailformat::BuildPartTable(scanner, path));

  // The duplicate key of a message without Message-id is the server's UIDL, asked now, while
  // the conversation is still in step.
  const std::string uidl =
      validation::MessageIdOfHeaderBlock(scanner.header_text()).empty() ? AskUidl(n) : "";
  if (n < count) SendRetr(n + 1);

  file.Release();  // from here DecideMessageFate keeps or removes it
  const validation::MessageFate fate = validation::DecideMessageFate(
      std::move(message), path, work_.account, [&uidl] { return uidl; }, services_.fate);
  return validation::MayDeleteFromServer(fate);
}

std::string MailCheckSession::AskUidl(std::uint32_t n) {
  connection_.SendText("UIDL " + std::to_string(n) + "\r\n");
  const std::string_view reply = ReadReply();
  if (!mailformat::IsPositiveReply(reply)) return "";
  std::vector<std::string> words = mailformat::SplitBySpace(reply);
  return words.size() == 3 ? std::move(words[2]) : "";
}

// One flush of the whole file system holding the store, before the first DELE: every message
// file kept in this check, the database records written for it and the remembered keys are
// on disk before the server forgets its copy, at the cost of one sync per check.
void MailCheckSession::MakeDurable() {
  const int folder = ::open(services_.database_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) throw Pop3Refusal{FileErrorText(errno)};
  const int synced = ::syncfs(folder);
  const int sync_error = errno;
  ::close(folder);
  if (synced != 0) throw Pop3Refusal{FileErrorText(sync_error)};
}

void MailCheckSession::DeleteSafeOnes(std::uint32_t count) {
  progress_.Set("Deleting messages from '" + account_name_ + "'...", "", 0, true, 7);
  if (count == 0) return;
  const double step = 100.0 / count;
  double done = 0;
  reports_.ActivityState(6);
  for (std::uint32_t n = 1; n <= count; ++n) {
    if (deletable_[n - 1]) {
      progress_.SetSubText(Numbered("Deleting message ", n, count), 2);
      Expect("DELE " + std::to_string(n) + "\r\n");
    }
    done += step;
    progress_.SetPercent(static_cast<int>(std::min(100.0, done)));
  }
}

void MailCheckSession::Quit() {
  reports_.ActivityState(3);
  progress_.Set("Disconnecting from '" + account_name_ + "'...", "", 100, true, 7);
  Expect("QUIT\r\n");
}

std::string_view MailCheckSession::ReadReply() { return connection_.ReadLine(); }

std::string_view MailCheckSession::Expect(std::string_view command) {
  connection_.SendText(command);
  const std::string_view reply = ReadReply();
  if (!mailformat::IsPositiveReply(reply)) throw Pop3Refusal{std::string(reply)};
  return reply;
}

}  // namespace pelrion::transport
