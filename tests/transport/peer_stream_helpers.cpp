#include "transport/peer_stream_helpers.h"

#include <sys/socket.h>

#include <csignal>

namespace pelrion::transport::testing {

bool PeerStream::AcceptTls(const std::string& certificate, const std::string& key) {
  // OpenSSL writes its alerts with plain write(): a client that refused the certificate and
  // hung up must not end the test process.
  ::signal(SIGPIPE, SIG_IGN);
  context_ = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_chain_file(context_, certificate.c_str());
  SSL_CTX_use_PrivateKey_file(context_, key.c_str(), SSL_FILETYPE_PEM);
  ssl_ = SSL_new(context_);
  SSL_set_fd(ssl_, fd_);
  return SSL_accept(ssl_) == 1;
}

void PeerStream::EndTls() {
  if (ssl_ != nullptr) SSL_free(ssl_);
  if (context_ != nullptr) SSL_CTX_free(context_);
  ssl_ = nullptr;
  context_ = nullptr;
}

bool PeerStream::ReadLine(std::string& line) {
  line.clear();
  char c = 0;
  for (;;) {
    const long got = ssl_ != nullptr ? SSL_read(ssl_, &c, 1) : ::recv(fd_, &c, 1, 0);
    if (got <= 0) return false;
    line.push_back(c);
    if (c == '\n') return true;
  }
}

void PeerStream::Write(std::string_view text) {
  if (ssl_ != nullptr) {
    SSL_write(ssl_, text.data(), static_cast<int>(text.size()));
    return;
  }
  std::size_t sent = 0;
  while (sent < text.size()) {
    const long n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace pelrion::transport::testing
