#include "transport/pop3_server_session.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mailformat/ascii.h"
#include "mailformat/protocol_text.h"
#include "platform/fatal_stop.h"
#include "store/message_record.h"
#include "transport/dot_stuffed_output.h"
#include "transport/maildrop.h"
#include "transport/message_serving.h"
#include "transport/net_error.h"
#include "transport/pop3_upstream.h"
#include "transport/relay.h"

namespace pelrion::transport {
namespace {

constexpr std::string_view kOk = "+OK\r\n";
constexpr std::string_view kErr = "-ERR\r\n";
constexpr std::string_view kInvalid = "-ERR Invalid command\r\n";
constexpr std::string_view kExtra = "-ERR Unexpected extra argument\r\n";
constexpr std::string_view kMissing = "-ERR Missing argument\r\n";
constexpr std::string_view kNoSuch = "-ERR No such message\r\n";
constexpr std::string_view kAuthFailed = "-ERR Authentication failed\r\n";

// A command line longer than this ends the session: no client needs more, and the session's
// memory stays bounded.
constexpr std::size_t kCommandLineLimit = 4096;
// The local password is the real server's: guessing it is slowed down and cut short.
constexpr int kLoginAttempts = 3;

enum class State { kWaitUser = 0, kWaitPass = 1, kTransaction = 2 };

// Which states a command is allowed in and how many words it takes (command included).
struct CommandRule {
  std::string_view name;
  bool any_state;  // else the transaction state only (USER and PASS are special)
  int min_words;
  int max_words;
};

constexpr CommandRule kCommands[] = {
    {"QUIT", true, 1, INT_MAX}, {"USER", false, 2, 2}, {"PASS", false, 2, 2},
    {"STAT", false, 1, 1},   {"LIST", false, 1, 2}, {"RETR", false, 2, 2},
    {"DELE", false, 2, 2},   {"NOOP", false, 1, 1}, {"RSET", false, 1, 1},
    {"TOP", false, 3, 3},    {"UIDL", false, 1, 2}, {"CAPA", true, 1, 1},
};

const CommandRule* FindCommand(std::string_view word) {
  for (const CommandRule& rule : kCommands) {
    if (mailformat::ascii::EqualsIgnoreCase(word, rule.name)) return &rule;
  }
  return nullptr;
}

bool AllowedIn(const CommandRule& rule, State state) {
  if (rule.any_state) return true;
  if (rule.name == "USER") return state == State::kWaitUser;
  if (rule.name == "PASS") return state == State::kWaitPass;
  return state == State::kTransaction;
}

std::string_view TrimTrailingSpace(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

class Pop3ServerSession {
 public:
  Pop3ServerSession(NetConnection& client, WorkerJob& record, const ListenerWork& listener,
                    Pop3SessionPorts& ports)
      : client_(client), record_(record), listener_(listener), ports_(ports) {}
  ~Pop3ServerSession() { ReleaseHolds(); }
  Pop3ServerSession(const Pop3ServerSession&) = delete;
  Pop3ServerSession& operator=(const Pop3ServerSession&) = delete;

  [[noreturn]] void Run();

 private:
  void Handle(const std::vector<std::string>& words);
  void Dispatch(std::string_view name, const std::vector<std::string>& words);
  void User(const std::string& name);
  void Pass(const std::string& password);
  void Stat();
  void List(const std::vector<std::string>& words);
  void Uidl(const std::vector<std::string>& words);
  void Retr(const std::string& number, std::uint32_t body_lines);
  void Top(const std::vector<std::string>& words);
  void Dele(const std::string& number);
  [[noreturn]] void Quit();
  void Capa();
  // The entry the argument names, or null after NOSUCH was sent.
  MaildropEntry* Numbered(const std::string& word);
  std::int32_t NumberOf(const MaildropEntry& entry) {
    return static_cast<std::int32_t>(&entry - maildrop_.entries().data()) + 1;
  }
  // Returns only when the real server could not be reached (ERR was sent).
  void PassThrough(const std::string& name);
  void HoldAccount(store::MailAccount* account);
  void ReleaseHolds();
  void Send(std::string_view text) { client_.SendText(text); }

  NetConnection& client_;
  WorkerJob& record_;
  const ListenerWork& listener_;
  Pop3SessionPorts& ports_;
  State state_ = State::kWaitUser;
  store::MailAccount* account_ = nullptr;
  Maildrop maildrop_;
  int failed_logins_ = 0;
};

void Pop3ServerSession::Run() {
  client_.set_line_limit(kCommandLineLimit);
  Send("+OK Pelrion POP3 service\r\n");
  for (;;) {
    const std::string_view line = client_.ReadLine();
    std::this_thread::yield();
    Handle(mailformat::SplitBySpace(line));
  }
}

void Pop3ServerSession::Handle(const std::vector<std::string>& words) {
  const CommandRule* rule = FindCommand(words[0]);
  if (rule == nullptr || !AllowedIn(*rule, state_)) return Send(kInvalid);
  const int count = static_cast<int>(words.size());
  if (count < rule->min_words) return Send(kMissing);
  if (count > rule->max_words) return Send(kExtra);
  Dispatch(rule->name, words);
}

void Pop3ServerSession::Dispatch(std::string_view name, const std::vector<std::string>& words) {
  if (name == "QUIT") Quit();
  if (name == "USER") return User(words[1]);
  if (name == "PASS") return Pass(words[1]);
  if (name == "STAT") return Stat();
  if (name == "LIST") return List(words);
  if (name == "UIDL") return Uidl(words);
  if (name == "RETR") return Retr(words[1], UINT32_MAX);
  if (name == "TOP") return Top(words);
  if (name == "DELE") return Dele(words[1]);
  if (name == "RSET") maildrop_.ClearMarks();
  if (name == "CAPA") return Capa();
  Send(kOk);  // NOOP, RSET
}

void Pop3ServerSession::User(const std::string& name) {
  store::MailAccount* account = ports_.accounts.FindAccountForLogin(listener_.id, name);
  if (account == nullptr) return PassThrough(name);
  HoldAccount(account);
  Send("+OK password required for user " + name + "\r\n");
  state_ = State::kWaitPass;
}

void Pop3ServerSession::Pass(const std::string& password) {
  if (TrimTrailingSpace(password) != account_->pop3_password.Text()) {
    if (ports_.login_failure_delay) ports_.login_failure_delay();
    Send(kAuthFailed);
    state_ = State::kWaitUser;
    if (++failed_logins_ >= kLoginAttempts) {
      client_.Close(true);
      throw MakeNetError(kNetEnded);
    }
    return;
  }
  Send("+OK Maildrop ready\r\n");
  state_ = State::kTransaction;
  maildrop_.Load(ports_.messages.CollectInbox(account_->id));
}

void Pop3ServerSession::Stat() {
  Send("+OK " + std::to_string(maildrop_.PresentCount()) + " " +
       std::to_string(maildrop_.PresentBytes()) + "\r\n");
}

MaildropEntry* Pop3ServerSession::Numbered(const std::string& word) {
  MaildropEntry* entry = maildrop_.Present(mailformat::ParseIndex(word, maildrop_.size()));
  if (entry == nullptr) Send(kNoSuch);
  return entry;
}

void Pop3ServerSession::List(const std::vector<std::string>& words) {
  if (words.size() == 2) {
    const MaildropEntry* entry = Numbered(words[1]);
    if (entry == nullptr) return;
    Send("+OK " + std::to_string(NumberOf(*entry)) + " " +
         std::to_string(MessageSize(*entry->message)) + "\r\n");
    return;
  }
  DotStuffedOutput out(client_);
  out.PutRaw("+OK scan listing follows\r\n");
  std::int32_t n = 0;
  for (const MaildropEntry& entry : maildrop_.entries()) {
    ++n;
    if (entry.deleted) continue;
    out.PutRaw(std::to_string(n) + " " + std::to_string(MessageSize(*entry.message)) + "\r\n");
  }
  out.Finish();
}

void Pop3ServerSession::Uidl(const std::vector<std::string>& words) {
  if (words.size() == 2) {
    const MaildropEntry* entry = Numbered(words[1]);
    if (entry == nullptr) return;
    Send("+OK " + std::to_string(NumberOf(*entry)) + " " + UniqueId(*entry->message) + "\r\n");
    return;
  }
  DotStuffedOutput out(client_);
  out.PutRaw("+OK unique-id listing follows\r\n");
  std::int32_t n = 0;
  for (const MaildropEntry& entry : maildrop_.entries()) {
    ++n;
    if (entry.deleted) continue;
    out.PutRaw(std::to_string(n) + " " + UniqueId(*entry.message) + "\r\n");
  }
  out.Finish();
}

void Pop3ServerSession::Retr(const std::string& number, std::uint32_t body_lines) {
  const MaildropEntry* entry = Numbered(number);
  if (entry == nullptr) return;
  const store::MessageRecord& message = *entry->message;
  const ServedMessage served{store::MessageFilePath(ports_.database_folder, message.id),
                             static_cast<std::uint32_t>(message.summary.header_length),
                             message.summary.body_line_count};
  try {
    if (!SendStoredMessage(client_, served, body_lines)) Send(kErr);
  } catch (const MessageFileBroken&) {
    // The file no longer matches its record although the data check passed: the store
    // cannot be trusted any more.
    ports_.fatal_stop(platform::kDatabaseError);
    throw MakeNetError(kNetEnded);
  }
}

void Pop3ServerSession::Top(const std::vector<std::string>& words) {
  const std::int32_t lines = mailformat::ParseStrictInt(words[2], 10);
  if (lines < 0) return Send(kInvalid);  // also NotAnInteger
  Retr(words[1], static_cast<std::uint32_t>(lines));
}

void Pop3ServerSession::Dele(const std::string& number) {
  MaildropEntry* entry = Numbered(number);
  if (entry == nullptr) return;
  entry->deleted = true;
  Send("+OK message deleted\r\n");
}

void Pop3ServerSession::Quit() {
  if (state_ == State::kTransaction) {
    std::vector<MaildropEntry>& entries = maildrop_.entries();
    for (std::size_t i = entries.size(); i-- > 0;) {
      if (!entries[i].deleted) continue;
      store::MessageRecord* message = entries[i].message;
      entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
      ports_.messages.Unlink(*message);
      ports_.messages.ReleaseMessage(*message);
    }
  }
  Send(kOk);
  client_.Close(true);
  throw MakeNetError(kNetEnded);
}

void Pop3ServerSession::Capa() {
  DotStuffedOutput out(client_);
  out.PutRaw("+OK Capability list follows\r\nUSER\r\nTOP\r\nUIDL\r\n");
  out.Finish();
}

void Pop3ServerSession::PassThrough(const std::string& name) {
  NetConnection upstream(ports_.upstream_timeout_seconds, ports_.upstream_timeout_seconds,
                         &record_);
  std::string reply;
  try {
    upstream.Create();
    record_.SetSocket(upstream.handle(), 1);
    upstream.set_line_limit(kPop3ReplyLineLimit);
    const Pop3ServerAddress server{listener_.server_host,
                                   static_cast<std::uint16_t>(listener_.server_port),
                                   TlsModeFromNumber(listener_.tls_mode),
                                   listener_.tls_fingerprint, listener_.tls_ca_file};
    if (mailformat::IsPositiveReply(OpenPop3Upstream(upstream, server, ports_.policy))) {
      upstream.SendText("USER " + name + "\r\n");
      reply = upstream.ReadLine();
    }
  } catch (NetError) {
    reply.clear();
  }
  if (!mailformat::IsPositiveReply(reply)) {
    upstream.Close(false);
    return Send(kErr);
  }
  Send(reply);
  Relay(client_, upstream);  // ends the session; the upstream closes without linger
}

void Pop3ServerSession::HoldAccount(store::MailAccount* account) {
  ports_.accounts.ReleaseAccount(account_);
  account_ = account;
}

void Pop3ServerSession::ReleaseHolds() {
  for (const MaildropEntry& entry : maildrop_.entries()) {
    ports_.messages.ReleaseMessage(*entry.message);
  }
  maildrop_.Load({});
  ports_.accounts.ReleaseAccount(account_);
  account_ = nullptr;
}

}  // namespace

void RunPop3Session(NetConnection& client, WorkerJob& record, const ListenerWork& listener,
                    Pop3SessionPorts& ports) {
  Pop3ServerSession session(client, record, listener, ports);
  session.Run();
}

SessionRunner Pop3SessionRunner(Pop3SessionPorts& ports) {
  return [&ports](NetConnection& client, WorkerJob& record, const ListenerWork& listener) {
    RunPop3Session(client, record, listener, ports);
  };
}

Pop3SessionPorts DefaultPop3SessionPorts(store::AccountTable& accounts,
                                         store::MessageCalls& messages,
                                         std::string database_folder) {
  return Pop3SessionPorts{
      .accounts = accounts,
      .messages = messages,
      .database_folder = std::move(database_folder),
      .login_failure_delay = [] { std::this_thread::sleep_for(std::chrono::seconds(2)); },
      .fatal_stop = [](std::string_view text) { platform::FatalStop(text); },
  };
}

}  // namespace pelrion::transport
