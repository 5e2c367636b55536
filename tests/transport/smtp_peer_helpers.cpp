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
  if (ssl_ != nullptr) SSL_free(ssl_);
  if (context_ != nullptr) SSL_CTX_free(context_);
  if (fd_ >= 0) ::close(fd_);
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

bool ScriptedSmtpPeer::StartTls() {
  context_ = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_chain_file(context_, script_.certificate.c_str());
  SSL_CTX_use_PrivateKey_file(context_, script_.key.c_str(), SSL_FILETYPE_PEM);
  ssl_ = SSL_new(context_);
  SSL_set_fd(ssl_, fd_);
  return SSL_accept(ssl_) == 1;
}

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

bool ScriptedSmtpPeer::ReadLine(std::string& line) {
  line.clear();
  char c = 0;
  for (;;) {
    const long got = ssl_ != nullptr ? SSL_read(ssl_, &c, 1) : ::recv(fd_, &c, 1, 0);
    if (got <= 0) return false;
    line.push_back(c);
    if (c == '\n') return true;
  }
}

void ScriptedSmtpPeer::Write(const std::string& text) {
  if (ssl_ != nullptr) {
    SSL_write(ssl_, text.data(), static_cast<int>(text.size()));
  } else {
    // The client may hang up in the middle of an over-long reply; that is no failure here.
    std::size_t sent = 0;
    while (sent < text.size()) {
      const long n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  }
}

void ScriptedSmtpPeer::Serve() {
  if (std::find(script_.replies.begin(), script_.replies.end(), kHoldUnread) !=
      script_.replies.end()) {
    // A small receive window, so that a client writing to the hold blocks soon.
    const int size = 4096;
    setsockopt(listener_.fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  fd_ = listener_.AcceptOne();
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
