#include "transport/tls_stream.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cctype>
#include <map>
#include <mutex>

namespace pelrion::transport {
namespace {

// One context per extra CA file, made on first use and shared by every thread for the life of
// the process (contexts are safe to share once set up). Verification is not enforced inside
// the handshake: the result is read afterwards, so that a pinned certificate can still pass.
SSL_CTX* ContextFor(const std::string& ca_file) {
  static std::mutex mutex;
  // Never destroyed: a worker may still hold a stream while the process ends.
  static auto* const contexts = new std::map<std::string, SSL_CTX*>;
  std::lock_guard lock(mutex);
  auto found = contexts->find(ca_file);
  if (found != contexts->end()) return found->second;
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (context == nullptr) return nullptr;
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_default_verify_paths(context);
  // A missing or unreadable CA file adds nothing: servers it would have vouched for then fail
  // verification, which the user sees.
  if (!ca_file.empty()) SSL_CTX_load_verify_locations(context, ca_file.c_str(), nullptr);
  SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  // A server that drops the connection without a close alert ends it like a plain close; the
  // protocols above notice a cut-off answer themselves.
  SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  contexts->emplace(ca_file, context);
  return context;
}

bool IsIpv4Literal(const std::string& host) {
  in_addr address{};
  return inet_pton(AF_INET, host.c_str(), &address) == 1;
}

std::string Normalized(std::string_view fingerprint) {
  std::string out;
  for (char c : fingerprint) {
    if (c == ':' || c == ' ' || c == '\t') continue;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

std::string CertificateFingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    if (i != 0) out += ':';
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

bool SameFingerprint(std::string_view a, std::string_view b) {
  const std::string left = Normalized(a);
  return !left.empty() && left == Normalized(b);
}

TlsStream::TlsStream(int fd, const TlsPeer& peer) : pinned_(peer.pinned_fingerprint) {
  SSL_CTX* context = ContextFor(peer.extra_ca_file);
  if (context == nullptr || (ssl_ = SSL_new(context)) == nullptr) {
    failure_ = MakeNetError(kNetTlsHandshake);
    return;
  }
  SSL_set_fd(ssl_, fd);
  if (IsIpv4Literal(peer.host_name)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), peer.host_name.c_str());
  } else if (!peer.host_name.empty()) {
    SSL_set_tlsext_host_name(ssl_, peer.host_name.c_str());
    SSL_set1_host(ssl_, peer.host_name.c_str());
  }
  SSL_set_connect_state(ssl_);
}

TlsStream::~TlsStream() {
  if (ssl_ != nullptr) SSL_free(ssl_);
}

TlsStatus TlsStream::StatusOf(int result) {
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      return TlsStatus::kWantRead;
    case SSL_ERROR_WANT_WRITE:
      return TlsStatus::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return TlsStatus::kClosed;
    default:
      return TlsStatus::kFailed;
  }
}

TlsStatus TlsStream::Handshake() {
  if (ssl_ == nullptr) return TlsStatus::kFailed;
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_);
  if (result == 1) return CheckServer();
  TlsStatus status = StatusOf(result);
  if (status == TlsStatus::kClosed) status = TlsStatus::kFailed;
  if (status == TlsStatus::kFailed) failure_ = MakeNetError(kNetTlsHandshake);
  return status;
}

TlsStatus TlsStream::CheckServer() {
  X509* certificate = SSL_get1_peer_certificate(ssl_);
  if (certificate == nullptr) {
    failure_ = MakeNetError(kNetTlsHandshake);
    return TlsStatus::kFailed;
  }
  fingerprint_ = CertificateFingerprint(certificate);
  X509_free(certificate);
  const long verified = SSL_get_verify_result(ssl_);
  if (verified == X509_V_OK || SameFingerprint(fingerprint_, pinned_)) return TlsStatus::kDone;
  failure_ = MakeNetError(kNetTlsCertificate, static_cast<std::uint16_t>(verified));
  return TlsStatus::kFailed;
}

TlsStatus TlsStream::Read(char* buffer, std::size_t capacity, std::size_t& received) {
  received = 0;
  if (ssl_ == nullptr) return TlsStatus::kFailed;
  ERR_clear_error();
  if (SSL_read_ex(ssl_, buffer, capacity, &received) == 1) return TlsStatus::kDone;
  return StatusOf(0);
}

TlsStatus TlsStream::Write(const char* data, std::size_t length, std::size_t& sent) {
  sent = 0;
  if (ssl_ == nullptr) return TlsStatus::kFailed;
  ERR_clear_error();
  if (SSL_write_ex(ssl_, data, length, &sent) == 1) return TlsStatus::kDone;
  return StatusOf(0);
}

bool TlsStream::HasBufferedData() const { return ssl_ != nullptr && SSL_pending(ssl_) > 0; }

}  // namespace pelrion::transport
