// ReadLine over a loopback TCP connection against a plain recv loop reading the same bytes: a
// writer thread sends 50 MB of mail lines (base64 attachment lines, text, header fields) and
// closes; the reader takes them line by line, or in plain 64 KiB receives. The same again over
// TLS: ReadLine after StartTls against a plain SSL_read loop.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cstddef>
#include <random>
#include <string>
#include <thread>

#include "transport/net_connection.h"

namespace {

using namespace pelrion::transport;

constexpr std::size_t kStreamBytes = 50 << 20;

// What a POP3 download looks like on the wire: mostly 76-character base64 lines, then text
// paragraphs of varying line length, header blocks and empty lines.
const std::string& MailStream() {
  static const std::string stream = [] {
    std::mt19937 rng(7);
    const char base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve(kStreamBytes + 4096);
    while (text.size() < kStreamBytes) {
      text +=
          "Received: from mail.example.org (mail.example.org [192.0.2.7])\r\n"
          "\tby mx.example.net with ESMTP id 4F2A; Thu, 10 Dec 2026 10:00:00 +0000\r\n"
          "Subject: Quarterly figures\r\nContent-Transfer-Encoding: base64\r\n\r\n";
      for (int i = 0; i < 400; ++i) {
        for (int c = 0; c < 76; ++c) text += base64[rng() % 64];
        text += "\r\n";
      }
      for (int i = 0; i < 200; ++i) {
        const int length = 10 + static_cast<int>(rng() % 63);
        for (int c = 0; c < length; ++c)
          text += c % 7 == 6 ? ' ' : static_cast<char>('a' + rng() % 26);
        text += i % 20 == 19 ? "\r\n\r\n" : "\r\n";
      }
    }
    return text;
  }();
  return stream;
}

struct Pair {
  int reader;
  int writer;
};

Pair LoopbackPair() {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  Pair pair;
  pair.reader = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  connect(pair.reader, reinterpret_cast<sockaddr*>(&address), sizeof address);
  pair.writer = accept(listener, nullptr, nullptr);
  close(listener);
  return pair;
}

// Sends the whole stream on its own thread, then closes its end.
std::thread StartWriter(int fd) {
  return std::thread([fd] {
    const std::string& stream = MailStream();
    for (std::size_t at = 0; at < stream.size();) {
      const ssize_t sent = send(fd, stream.data() + at, stream.size() - at, MSG_NOSIGNAL);
      if (sent <= 0) break;
      at += static_cast<std::size_t>(sent);
    }
    close(fd);
  });
}

// A throw-away key and self-signed certificate; the client pins its fingerprint.
struct ServerIdentity {
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
  std::string fingerprint;
};

const ServerIdentity& Identity() {
  static const ServerIdentity identity = [] {
    ServerIdentity made;
    made.key = EVP_EC_gen("P-256");
    made.certificate = X509_new();
    X509_set_version(made.certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(made.certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(made.certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(made.certificate), 86400);
    X509_set_pubkey(made.certificate, made.key);
    X509_NAME* name = X509_get_subject_name(made.certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(made.certificate, name);
    X509_sign(made.certificate, made.key, EVP_sha256());
    made.fingerprint = CertificateFingerprint(made.certificate);
    return made;
  }();
  return identity;
}

// Serves the whole stream over TLS on its own thread, then closes its end.
std::thread StartTlsWriter(int fd) {
  return std::thread([fd] {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, Identity().certificate);
    SSL_CTX_use_PrivateKey(context, Identity().key);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
      const std::string& stream = MailStream();
      for (std::size_t at = 0; at < stream.size();) {
        std::size_t sent = 0;
        if (SSL_write_ex(ssl, stream.data() + at, stream.size() - at, &sent) != 1) break;
        at += sent;
      }
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    SSL_CTX_free(context);
    close(fd);
  });
}

// Reads the whole stream with ReadLine, over TLS when `tls` is set.
void ReadEveryLine(benchmark::State& state, bool tls) {
  MailStream();
  std::size_t total = 0;
  for (auto _ : state) {
    const Pair pair = LoopbackPair();
    std::thread writer = tls ? StartTlsWriter(pair.writer) : StartWriter(pair.writer);
    WorkerJob job;
    NetConnection connection(200, 200, &job);
    connection.Adopt(pair.reader);
    if (tls) connection.StartTls({"localhost", Identity().fingerprint, ""});
    std::size_t bytes = 0;
    try {
      for (;;) bytes += connection.ReadLine().size();
    } catch (NetError) {
    }
    writer.join();
    benchmark::DoNotOptimize(bytes);
    total += MailStream().size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}

void BM_ReadLine(benchmark::State& state) { ReadEveryLine(state, false); }
BENCHMARK(BM_ReadLine)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainRecv(benchmark::State& state) {
  MailStream();
  std::size_t total = 0;
  std::string buffer(64 * 1024, '\0');
  for (auto _ : state) {
    const Pair pair = LoopbackPair();
    std::thread writer = StartWriter(pair.writer);
    std::size_t bytes = 0;
    for (ssize_t received; (received = recv(pair.reader, buffer.data(), buffer.size(), 0)) > 0;) {
      bytes += static_cast<std::size_t>(received);
      benchmark::DoNotOptimize(buffer.data());
    }
    close(pair.reader);
    writer.join();
    benchmark::DoNotOptimize(bytes);
    total += MailStream().size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_PlainRecv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadLineTls(benchmark::State& state) { ReadEveryLine(state, true); }
BENCHMARK(BM_ReadLineTls)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainTlsRead(benchmark::State& state) {
  MailStream();
  std::size_t total = 0;
  std::string buffer(64 * 1024, '\0');
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  for (auto _ : state) {
    const Pair pair = LoopbackPair();
    std::thread writer = StartTlsWriter(pair.writer);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, pair.reader);
    std::size_t bytes = 0;
    if (SSL_connect(ssl) == 1) {
      std::size_t received = 0;
      while (SSL_read_ex(ssl, buffer.data(), buffer.size(), &received) == 1) {
        bytes += received;
        benchmark::DoNotOptimize(buffer.data());
      }
    }
    SSL_free(ssl);
    close(pair.reader);
    writer.join();
    benchmark::DoNotOptimize(bytes);
    total += MailStream().size();
  }
  SSL_CTX_free(context);
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_PlainTlsRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
