#include "transport/pop3_peer_helpers.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

namespace pelrion::transport::testing {
namespace {

std::string DotStuffed(const std::string& message) {
  std::string out;
  std::size_t at = 0;
  while (at < message.size()) {
    std::size_t end = message.find('\n', at);
    end = end == std::string::npos ? message.size() : end + 1;
    if (message[at] == '.') out += '.';
    out.append(message, at, end - at);
    at = end;
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out + ".\r\n";
}

// The number after the command word, 0 when there is none or it is out of range.
std::size_t MessageNumber(const std::string& command, std::size_t count) {
  const std::size_t space = command.find(' ');
  if (space == std::string::npos) return 0;
  const unsigned long n = std::strtoul(command.c_str() + space + 1, nullptr, 10);
  return n >= 1 && n <= count ? n : 0;
}

}  // namespace

std::string CommandTestName(const ::testing::TestParamInfo<const char*>& info) {
  std::string name = info.param;
  std::erase(name, ' ');
  return name;
}

std::string MailText(const std::vector<std::string>& fields, const std::vector<std::string>& body) {
  std::string text;
  for (const std::string& field : fields) text += field + "\r\n";
  text += "\r\n";
  for (const std::string& line : body) text += line + "\r\n";
  return text;
}

ScriptedPop3Peer::ScriptedPop3Peer(Pop3Script script)
    : script_(std::move(script)), mailbox_(script_.messages) {
  thread_ = std::thread([this] { Serve(); });
}

ScriptedPop3Peer::~ScriptedPop3Peer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  // Wakes the accept; a conversation still running ends when the client has gone.
  ::shutdown(listener_.fd(), SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> ScriptedPop3Peer::Commands() {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> ScriptedPop3Peer::Mailbox() {
  std::lock_guard lock(mutex_);
  return mailbox_;
}

void ScriptedPop3Peer::WaitForConnections(int count) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (ended_ >= count) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ScriptedPop3Peer::Serve() {
  for (bool first = true;; first = false) {
    const int fd = ::accept(listener_.fd(), nullptr, nullptr);
    if (fd < 0) return;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        ::close(fd);
        return;
      }
    }
    Converse(fd, first);
    stream_.EndTls();
    ::close(fd);
    std::lock_guard lock(mutex_);
    ++ended_;
  }
}

void ScriptedPop3Peer::Converse(int fd, bool first) {
  stream_.Attach(fd);
  const bool scripted = first || script_.every_connection;
  Write(script_.greeting);
  std::vector<bool> marked;
  {
    std::lock_guard lock(mutex_);
    marked.assign(mailbox_.size(), false);
  }
  std::string line;
  while (ReadLine(line)) {
    const std::string command = line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
    {
      std::lock_guard lock(mutex_);
      commands_.push_back(command);
    }
    if (script_.before_answer) script_.before_answer(command);
    const auto scripted_answer = script_.answers.find(command);
    if (scripted && scripted_answer != script_.answers.end()) {
      const std::string& answer = scripted_answer->second;
      if (answer == kStall) {
        while (ReadLine(line)) {
        }
        return;
      }
      if (answer.ends_with(kHangUp)) {
        Write(std::string_view(answer).substr(0, answer.size() - std::string_view(kHangUp).size()));
        return;
      }
      Write(answer);
      continue;
    }
    bool quit = false;
    const std::string answer = Answer(command, marked, quit);
    Write(answer);
    if (command == "STLS" && answer.rfind("+OK", 0) == 0) {
      if (!stream_.AcceptTls(script_.certificate, script_.key)) return;
    }
    if (quit) return;
  }
}

std::string ScriptedPop3Peer::Answer(const std::string& command, std::vector<bool>& marked,
                                     bool& quit) {
  std::lock_guard lock(mutex_);
  const std::string word = command.substr(0, command.find(' '));
  const std::size_t n = MessageNumber(command, mailbox_.size());
  if (word == "USER") return command == "USER " + script_.user ? "+OK\r\n" : "-ERR no such user\r\n";
  if (word == "PASS") {
    return command == "PASS " + script_.password ? "+OK logged in\r\n"
                                                 : "-ERR [AUTH] Authentication failed.\r\n";
  }
  if (word == "STLS") {
    return script_.certificate.empty() || stream_.tls_active() ? "-ERR unknown command\r\n"
                                                          : "+OK Begin TLS negotiation\r\n";
  }
  if (word == "STAT") {
    std::size_t count = 0;
    std::size_t size = 0;
    for (std::size_t i = 0; i < mailbox_.size(); ++i) {
      if (marked[i]) continue;
      ++count;
      size += mailbox_[i].size();
    }
    return "+OK " + std::to_string(count) + " " + std::to_string(size) + "\r\n";
  }
  if (word == "RETR" && n != 0 && !marked[n - 1]) {
    return "+OK " + std::to_string(mailbox_[n - 1].size()) + " octets\r\n" +
           DotStuffed(mailbox_[n - 1]);
  }
  if (word == "UIDL" && n != 0 && script_.uidl) {
    return "+OK " + std::to_string(n) + " uid-" + std::to_string(std::hash<std::string>()(mailbox_[n - 1])) + "\r\n";
  }
  if (word == "DELE" && n != 0 && !marked[n - 1]) {
    marked[n - 1] = true;
    return "+OK deleted\r\n";
  }
  if (word == "QUIT") {
    quit = true;
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < mailbox_.size(); ++i) {
      if (!marked[i]) kept.push_back(mailbox_[i]);
    }
    mailbox_ = std::move(kept);
    return "+OK bye\r\n";
  }
  return "-ERR no such message or command\r\n";
}

bool ScriptedPop3Peer::ReadLine(std::string& line) { return stream_.ReadLine(line); }

void ScriptedPop3Peer::Write(std::string_view text) { stream_.Write(text); }

}  // namespace pelrion::transport::testing
