// ReadLine over a loopback TCP connection against a plain recv loop reading the same bytes: a
// writer thread sends 50 MB of mail lines (base64 attachment lines, text, header fields) and
// closes; the reader takes them line by line, or in plain 64 KiB receives.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

void BM_ReadLine(benchmark::State& state) {
  MailStream();
  std::size_t total = 0;
  for (auto _ : state) {
    const Pair pair = LoopbackPair();
    std::thread writer = StartWriter(pair.writer);
    WorkerJob job;
    NetConnection connection(200, 200, &job);
    connection.Adopt(pair.reader);
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

}  // namespace

BENCHMARK_MAIN();
