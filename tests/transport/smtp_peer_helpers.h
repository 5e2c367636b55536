// A scripted SMTP server on 127.0.0.1 for the sending worker's tests: it plays its replies
// in order, one per command the client sends (the first is the greeting), and records every
// command and every message body that arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/peer_stream_helpers.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport::testing {

// In place of a reply: the peer reads nothing after the reply before it, and holds the
// connection until the test calls Release (or the peer goes away). A client writing to it
// blocks once the buffers are full; one starting TLS waits for the server's handshake.
inline const std::string kHoldUnread = "<hold unread>";

struct SmtpScript {
  std::vector<std::string> replies;  // each with its CR LF; "" = send nothing and wait
  std::string certificate;           // for STARTTLS; empty = no TLS
  std::string key;
  bool implicit_tls = false;         // TLS from the first byte, with the certificate
};

class ScriptedSmtpPeer {
 public:
  explicit ScriptedSmtpPeer(SmtpScript script);
  ~ScriptedSmtpPeer();
  std::uint16_t port() const { return listener_.port(); }
  // Waits for the conversation to end, then gives the commands (without CR LF).
  std::vector<std::string> Commands();
  // The bytes between DATA's go-ahead and the end-of-data line, one entry per message.
  std::vector<std::string> Messages();
  // Blocks until at least `count` commands arrived.
  void WaitForCommands(std::size_t count);
  // Blocks until the script reached a reply that holds the connection ("" or kHoldUnread).
  void WaitUntilHolding();
  // Ends a kHoldUnread hold.
  void Release();

 private:
  void Serve();
  bool StartTls();
  void Hold(bool reading);
  bool ReadLine(std::string& line);
  void Write(const std::string& text);

  SmtpScript script_;
  RawListener listener_;
  PeerStream stream_;
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::vector<std::string> messages_;
  std::atomic<bool> holding_{false};
  std::atomic<bool> released_{false};
  std::thread thread_;
};

}  // namespace pelrion::transport::testing
