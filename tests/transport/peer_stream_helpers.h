// The connection of a scripted test server to the client under test: lines in, bytes out, and
// the server side of a TLS handshake. It does not own the socket.
#pragma once

#include <openssl/ssl.h>

#include <string>
#include <string_view>

namespace pelrion::transport::testing {

class PeerStream {
 public:
  PeerStream() = default;
  ~PeerStream() { EndTls(); }
  PeerStream(const PeerStream&) = delete;
  PeerStream& operator=(const PeerStream&) = delete;

  // The accepted socket to talk on (plain text until AcceptTls).
  void Attach(int fd) { fd_ = fd; }
  int fd() const { return fd_; }
  // The server side of the handshake with this identity; false when it failed.
  bool AcceptTls(const std::string& certificate, const std::string& key);
  bool tls_active() const { return ssl_ != nullptr; }
  // Back to no TLS state (the next connection starts in plain text).
  void EndTls();

  // The bytes up to and including the next LF; false when the client closed or failed.
  bool ReadLine(std::string& line);
  // As much of text as the client takes: a client may hang up in the middle of a reply, which
  // is no failure here.
  void Write(std::string_view text);

 private:
  int fd_ = -1;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
};

}  // namespace pelrion::transport::testing
