#include "transport/tls_test_helpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "support/run_command.h"

namespace pelrion::transport::testing_tls {
namespace {

constexpr long kDay = 24 * 60 * 60;

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) throw std::runtime_error("extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for key, signed by issuer_key (itself when issuer is null), valid from
// `from` to `to` seconds from now.
X509* MakeCertificate(EVP_PKEY* key, const char* common_name, const char* alt_names, X509* issuer,
                      EVP_PKEY* issuer_key, long from, long to, bool is_ca, long serial) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), from);
  X509_gmtime_adj(X509_getm_notAfter(certificate), to);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509_set_issuer_name(certificate, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer != nullptr ? issuer : certificate;
  AddExtension(certificate, signer, NID_basic_constraints, is_ca ? "critical,CA:TRUE" : "CA:FALSE");
  if (is_ca) AddExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  if (alt_names != nullptr) AddExtension(certificate, signer, NID_subject_alt_name, alt_names);
  X509_sign(certificate, issuer_key != nullptr ? issuer_key : key, EVP_sha256());
  return certificate;
}

void WritePem(const std::string& path, X509* certificate) {
  FILE* file = std::fopen(path.c_str(), "w");
  PEM_write_X509(file, certificate);
  std::fclose(file);
}

void WritePem(const std::string& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(file);
}

}  // namespace

TestPki::TestPki() {
  EVP_PKEY* ca_key = EVP_EC_gen("P-256");
  X509* ca_certificate =
      MakeCertificate(ca_key, "Pelrion Test CA", nullptr, nullptr, nullptr, -kDay, 30 * kDay, true, 1);
  ca = (dir_ / "ca.pem");
  WritePem(ca, ca_certificate);

  EVP_PKEY* server_key = EVP_EC_gen("P-256");
  const std::string key_file = (dir_ / "server.key");
  WritePem(key_file, server_key);
  struct Made {
    Identity* identity;
    const char* file;
    const char* common_name;
    const char* alt_names;
    bool signed_by_ca;
    long from, to;
  };
  const Made made[] = {
      {&valid, "valid.pem", "localhost", "DNS:localhost,IP:127.0.0.1", true, -kDay, 30 * kDay},
      {&expired, "expired.pem", "localhost", "DNS:localhost,IP:127.0.0.1", true, -10 * kDay, -kDay},
      {&other_name, "other.pem", "mail.other.test", "DNS:mail.other.test", true, -kDay, 30 * kDay},
      {&self_signed, "self.pem", "localhost", "DNS:localhost,IP:127.0.0.1", false, -kDay, 30 * kDay},
  };
  long serial = 2;
  for (const Made& m : made) {
    X509* certificate =
        MakeCertificate(server_key, m.common_name, m.alt_names, m.signed_by_ca ? ca_certificate : nullptr,
                        m.signed_by_ca ? ca_key : nullptr, m.from, m.to, false, serial++);
    m.identity->certificate = (dir_ / m.file);
    m.identity->key = key_file;
    WritePem(m.identity->certificate, certificate);
    X509_free(certificate);
  }
  EVP_PKEY_free(server_key);
  X509_free(ca_certificate);
  EVP_PKEY_free(ca_key);
}

OneShotTlsServer::OneShotTlsServer(const TestPki::Identity& identity) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 1) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&OneShotTlsServer::Serve, this, identity);
}

OneShotTlsServer::~OneShotTlsServer() {
  // Wakes an accept that never got its client.
  ::shutdown(listener_, SHUT_RDWR);
  thread_.join();
  ::close(listener_);
}

void OneShotTlsServer::Serve(TestPki::Identity identity) {
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (identity.certificate.empty()) {
    static constexpr char kPlain[] = "+OK not a TLS server\r\n";
    (void)!::send(fd, kPlain, sizeof kPlain - 1, MSG_NOSIGNAL);
    ::close(fd);
    return;
  }
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_file(context, identity.certificate.c_str(), SSL_FILETYPE_PEM);
  SSL_CTX_use_PrivateKey_file(context, identity.key.c_str(), SSL_FILETYPE_PEM);
  SSL* ssl = SSL_new(context);
  SSL_set_fd(ssl, fd);
  timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (SSL_accept(ssl) == 1) {
    std::string line;
    char c = 0;
    while (line.size() < 1000 && SSL_read(ssl, &c, 1) == 1) {
      line += c;
      if (c == '\n') break;
    }
    if (!line.empty()) SSL_write(ssl, line.data(), static_cast<int>(line.size()));
    SSL_shutdown(ssl);
  }
  SSL_free(ssl);
  SSL_CTX_free(context);
  ::close(fd);
}

std::string ToolFingerprint(const std::string& certificate_file) {
  const test_support::RunResult result = test_support::RunCommand(
      "openssl x509 -noout -fingerprint -sha256 -in " + test_support::ShellQuote(certificate_file));
  const std::size_t equals = result.out.find('=');
  if (result.status != 0 || equals == std::string::npos) return "";
  std::string fingerprint = result.out.substr(equals + 1);
  while (!fingerprint.empty() && (fingerprint.back() == '\n' || fingerprint.back() == '\r')) {
    fingerprint.pop_back();
  }
  return fingerprint;
}

int ConnectNonBlocking(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

namespace {
bool WaitFor(int fd, TlsStatus status) {
  pollfd entry{fd, static_cast<short>(status == TlsStatus::kWantRead ? POLLIN : POLLOUT), 0};
  return ::poll(&entry, 1, 5000) == 1;
}
}  // namespace

TlsStatus HandshakeToEnd(TlsStream& stream, int fd) {
  for (;;) {
    const TlsStatus status = stream.Handshake();
    if (status != TlsStatus::kWantRead && status != TlsStatus::kWantWrite) return status;
    if (!WaitFor(fd, status)) return TlsStatus::kFailed;
  }
}

std::string EchoOnce(TlsStream& stream, int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    std::size_t sent = 0;
    const TlsStatus status = stream.Write(text.data() + written, text.size() - written, sent);
    written += sent;
    if (status == TlsStatus::kDone) continue;
    if ((status != TlsStatus::kWantRead && status != TlsStatus::kWantWrite) || !WaitFor(fd, status)) {
      return "";
    }
  }
  std::string echoed;
  char buffer[256];
  while (echoed.find('\n') == std::string::npos) {
    std::size_t received = 0;
    const TlsStatus status = stream.Read(buffer, sizeof buffer, received);
    echoed.append(buffer, received);
    if (status == TlsStatus::kDone) continue;
    if ((status != TlsStatus::kWantRead && status != TlsStatus::kWantWrite) || !WaitFor(fd, status)) {
      return "";
    }
  }
  return echoed;
}

}  // namespace pelrion::transport::testing_tls
