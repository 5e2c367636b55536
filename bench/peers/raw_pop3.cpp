// The network limit of a POP3 download: one connection, USER/PASS, STAT, then RETR 1..n sent
// ahead in batches (pipelined) while every answer is read and thrown away; no DELE, so the
// mailbox stays as it was. Prints "messages N octets B seconds S".
//
//   raw_pop3 --port N --user U --password P [--host 127.0.0.1] [--window W] [--stat-only]
//
// --stat-only logs in, answers STAT and quits: it lets the server index fresh mail before a
// timed run. Only loopback addresses are accepted.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what);
}

class Pop3Stream {
 public:
  explicit Pop3Stream(int fd) : fd_(fd), buffer_(1 << 20) {}

  void Send(const std::string& text) {
    for (std::size_t sent = 0; sent < text.size();) {
      const long n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) Fail("send failed");
      sent += static_cast<std::size_t>(n);
    }
  }

  // One status line without its CR LF; it must be positive.
  std::string Status(const char* command) {
    std::string line;
    for (;;) {
      if (pos_ == end_) Refill();
      const char* start = buffer_.data() + pos_;
      const void* lf = std::memchr(start, '\n', end_ - pos_);
      const std::size_t take = lf ? static_cast<const char*>(lf) - start + 1 : end_ - pos_;
      line.append(start, take);
      pos_ += take;
      if (lf) break;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("+OK", 0) != 0) Fail(std::string(command) + " refused: " + line);
    return line;
  }

  // Reads a multi-line answer up to and including its ".\r\n" line; the octets before it.
  std::size_t SkipBody() {
    std::size_t octets = 0;
    bool line_start = true;
    for (;;) {
      if (line_start) {
        // The end mark is three bytes at a line start; a read may have split them.
        if (end_ - pos_ < 3) Refill(3);
        const char* p = buffer_.data() + pos_;
        if (p[0] == '.' && p[1] == '\r' && p[2] == '\n') {
          pos_ += 3;
          return octets;
        }
      }
      if (pos_ == end_) Refill();
      const char* start = buffer_.data() + pos_;
      const void* lf = std::memchr(start, '\n', end_ - pos_);
      const std::size_t take = lf ? static_cast<const char*>(lf) - start + 1 : end_ - pos_;
      octets += take;
      pos_ += take;
      line_start = lf != nullptr;
    }
  }

 private:
  // Moves what is left to the front and reads until at least `want` bytes are held.
  void Refill(std::size_t want = 1) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < want) {
      const long n = ::recv(fd_, buffer_.data() + end_, buffer_.size() - end_, 0);
      if (n <= 0) Fail("the server closed the connection");
      end_ += static_cast<std::size_t>(n);
    }
  }

  int fd_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, end_ = 0;
};

int Connect(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      (ntohl(address.sin_addr.s_addr) >> 24) != 127) {
    Fail("not a loopback address: " + host);
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail("cannot connect to " + host + ":" + std::to_string(port));
  }
  return fd;
}

struct Arguments {
  std::string host = "127.0.0.1";
  int port = 0;
  std::string user, password;
  std::size_t window = 32;
  bool stat_only = false;
};

Arguments Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--stat-only") {
      a.stat_only = true;
      continue;
    }
    if (i + 1 >= argc) Fail("missing value for " + std::string(name));
    const char* value = argv[++i];
    if (name == "--host")
      a.host = value;
    else if (name == "--port")
      a.port = std::atoi(value);
    else if (name == "--user")
      a.user = value;
    else if (name == "--password")
      a.password = value;
    else if (name == "--window")
      a.window = std::max(1, std::atoi(value));
    else
      Fail("unknown option " + std::string(name));
  }
  if (a.port <= 0 || a.user.empty()) Fail("usage: raw_pop3 --port N --user U --password P");
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Arguments a = Parse(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    const int fd = Connect(a.host, a.port);
    Pop3Stream pop3(fd);
    pop3.Status("greeting");
    pop3.Send("USER " + a.user + "\r\n");
    pop3.Status("USER");
    pop3.Send("PASS " + a.password + "\r\n");
    pop3.Status("PASS");
    pop3.Send("STAT\r\n");
    const std::string stat = pop3.Status("STAT");
    std::size_t count = 0;
    if (std::sscanf(stat.c_str(), "+OK %zu", &count) != 1) Fail("bad STAT answer: " + stat);

    std::size_t octets = 0;
    if (!a.stat_only) {
      std::size_t sent = 0;  // RETR commands sent so far
      // Keeps between window/2 and window requests in flight: a few bytes each, so they never
      // fill the socket while the server is busy sending.
      auto send_ahead = [&](std::size_t done) {
        std::string batch;
        while (sent < count && sent - done < a.window)
          batch += "RETR " + std::to_string(++sent) + "\r\n";
        if (!batch.empty()) pop3.Send(batch);
      };
      send_ahead(0);
      for (std::size_t done = 0; done < count;) {
        pop3.Status("RETR");
        octets += pop3.SkipBody();
        ++done;
        if (sent - done <= a.window / 2) send_ahead(done);
      }
    }
    pop3.Send("QUIT\r\n");
    pop3.Status("QUIT");
    ::close(fd);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("messages %zu octets %zu seconds %.3f\n", count, octets, seconds);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "raw_pop3: %s\n", error.what());
    return 1;
  }
}
