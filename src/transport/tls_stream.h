#pragma once
// TlsStream: the client side of TLS over a connected, non-blocking socket that somebody else
// owns (the stream never closes it). Every call is one non-blocking step; the caller waits
// with its own time-outs and stop flag when a step asks to read or write.
//
// The server is verified against the system's trust store and an optional extra CA file, its
// certificate must name the host we asked for, and SNI is sent for names. A certificate that
// fails verification is still accepted when its SHA-256 fingerprint is the one pinned for
// this server (self-signed servers).
#include <openssl/types.h>

#include <cstddef>
#include <string>

#include "transport/net_error.h"

namespace pelrion::transport {

enum class TlsStatus { kDone, kWantRead, kWantWrite, kClosed, kFailed };

struct TlsPeer {
  std::string host_name;           // sent as SNI (names only) and checked in the certificate
  std::string pinned_fingerprint;  // SHA-256 "AB:CD:...", colons and case optional; or empty
  std::string extra_ca_file;       // trusted besides the system store; or empty
};

class TlsStream {
 public:
  TlsStream(int fd, const TlsPeer& peer);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // One step of the handshake. kDone once it is complete and the server is trusted; kFailed
  // with failure() set otherwise.
  TlsStatus Handshake();
  // After the handshake. kClosed when the server has closed the conversation.
  TlsStatus Read(char* buffer, std::size_t capacity, std::size_t& received);
  TlsStatus Write(const char* data, std::size_t length, std::size_t& sent);
  // Decrypted bytes waiting inside the stream: readable although the socket may show nothing.
  bool HasBufferedData() const;

  // After kFailed: kNetTlsHandshake, or kNetTlsCertificate with the verification result in
  // the high half.
  NetError failure() const { return failure_; }
  // "AB:CD:..." of the server's certificate once it has been seen, else empty.
  const std::string& peer_fingerprint() const { return fingerprint_; }

 private:
  TlsStatus StatusOf(int result);
  // Checks the finished handshake's certificate: verified, or pinned.
  TlsStatus CheckServer();

  SSL* ssl_ = nullptr;
  std::string pinned_;
  std::string fingerprint_;
  NetError failure_ = 0;
};

// The SHA-256 fingerprint of a DER certificate as "AB:CD:...".
std::string CertificateFingerprint(X509* certificate);
// Whether two fingerprints are the same, ignoring case, colons and blanks; an empty one
// matches nothing.
bool SameFingerprint(std::string_view a, std::string_view b);

}  // namespace pelrion::transport
