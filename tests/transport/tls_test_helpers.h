#pragma once
// A one-connection TLS server on 127.0.0.1 and client-side handshake helpers for the TLS
// tests; the certificates come from test_support::TestPki.
#include <cstdint>
#include <string>
#include <thread>

#include "support/test_pki.h"
#include "transport/tls_stream.h"

namespace pelrion::transport::testing_tls {

using TestPki = test_support::TestPki;

// Accepts one connection on 127.0.0.1 and either speaks TLS with the identity (echoing one
// line back) or, with an empty identity, writes plain text and closes.
class OneShotTlsServer {
 public:
  explicit OneShotTlsServer(const TestPki::Identity& identity);
  ~OneShotTlsServer();
  std::uint16_t port() const { return port_; }

 private:
  void Serve(TestPki::Identity identity);
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

// A certificate file's SHA-256 fingerprint as the openssl tool prints it ("AB:CD:..."), an
// oracle independent of our code; empty when the tool failed.
std::string ToolFingerprint(const std::string& certificate_file);

// A connected non-blocking socket to 127.0.0.1:port, or -1.
int ConnectNonBlocking(std::uint16_t port);

// Drives the handshake with poll (5 s per step) until it is done or failed.
TlsStatus HandshakeToEnd(TlsStream& stream, int fd);
// Sends text and reads until a line feed arrived; what was read, or "" on failure.
std::string EchoOnce(TlsStream& stream, int fd, const std::string& text);

}  // namespace pelrion::transport::testing_tls
