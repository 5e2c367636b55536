#include "transport/smtp_peer_helpers.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace pelrion::transport::testing {

ScriptedSmtpPeer::ScriptedSmtpPeer(SmtpScript script)
    : script_(std::move(script)), thread_([this] { Serve(); }) {}

ScriptedSmtpPeer::~ScriptedSmtpPeer() {
  Release();
  if (thread_.joinable()) thread_.join();
  stream_.EndTls();
  if (stream_.fd() >= 0) ::close(stream_.fd());
}

std::vector<std::string> ScriptedSmtpPeer::Commands() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> ScriptedSmtpPeer::Messages() {
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  return messages_;
}

void ScriptedSmtpPeer::WaitForCommands(std::size_t count) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (commands_.size() >= count) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void ScriptedSmtpPeer::WaitUntilHolding() {
  while (!holding_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ScriptedSmtpPeer::Release() { released_ = true; }

bool ScriptedSmtpPeer::StartTls() { return stream_.AcceptTls(script_.certificate, script_.key); }

// Keeps the connection until the client goes away (reading and dropping what it sends), or,
// without reading, until Release.
void ScriptedSmtpPeer::Hold(bool reading) {
  holding_ = true;
  if (reading) {
    std::string line;
    while (ReadLine(line)) {
    }
    return;
  }
  while (!released_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool ScriptedSmtpPeer::ReadLine(std::string& line) { return stream_.ReadLine(line); }

void ScriptedSmtpPeer::Write(const std::string& text) { stream_.Write(text); }

void ScriptedSmtpPeer::Serve() {
  if (std::find(script_.replies.begin(), script_.replies.end(), kHoldUnread) !=
      script_.replies.end()) {
    // A small receive window, so that a client writing to the hold blocks soon.
    const int size = 4096;
    setsockopt(listener_.fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  stream_.Attach(listener_.AcceptOne());
  if (script_.implicit_tls && !StartTls()) return;
  std::string line;
  for (std::size_t at = 0; at < script_.replies.size(); ++at) {
    const std::string& reply = script_.replies[at];
    if (reply.empty() || reply == kHoldUnread) {
      Hold(reply.empty());
      return;
    }
    Write(reply);
    if (at + 1 < script_.replies.size() && script_.replies[at + 1] == kHoldUnread) {
      // Whatever the client does after this reply (a TLS handshake, a message) goes unread.
      Hold(false);
      return;
    }
    std::string command;
    if (at > 0) command = commands_.empty() ? "" : commands_.back();
    if (command == "DATA" && reply.rfind("354", 0) == 0) {
      std::string body;
      while (ReadLine(line) && line != ".\r\n") body += line;
      std::lock_guard lock(mutex_);
      messages_.push_back(body);
      commands_.push_back(".");  // the next reply answers the end of data
      continue;
    }
    if (command == "STARTTLS" && reply.rfind("220", 0) == 0 && !script_.certificate.empty() &&
        !StartTls()) {
      return;
    }
    if (at + 1 == script_.replies.size()) break;
    if (!ReadLine(line)) return;
    line.resize(line.size() >= 2 ? line.size() - 2 : 0);
    std::lock_guard lock(mutex_);
    commands_.push_back(line);
  }
}

}  // namespace pelrion::transport::testing
