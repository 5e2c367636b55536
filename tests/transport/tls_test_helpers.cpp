#include "transport/tls_test_helpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "support/run_command.h"

namespace pelrion::transport::testing_tls {

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
