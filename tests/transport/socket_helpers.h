// Real loopback sockets for the connection tests: listeners on 127.0.0.1 with a port of the
// kernel's choosing, connected pairs, descriptor counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/net_error.h"

namespace pelrion::transport::testing {

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1, host byte order

// A raw listening socket on 127.0.0.1; closed with the object.
class RawListener {
 public:
  explicit RawListener(int backlog = 16);
  ~RawListener();
  RawListener(const RawListener&) = delete;
  RawListener& operator=(const RawListener&) = delete;
  int fd() const { return fd_; }
  std::uint16_t port() const { return port_; }
  // Blocks until a client arrives.
  int AcceptOne();

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A listener whose accept queue (backlog 0) is full drops further SYNs, so a connect to it
// stays in progress until something ends it.
class UnansweredListener {
 public:
  UnansweredListener();
  ~UnansweredListener();
  UnansweredListener(const UnansweredListener&) = delete;
  UnansweredListener& operator=(const UnansweredListener&) = delete;
  std::uint16_t port() const { return full_.port(); }

 private:
  RawListener full_{0};
  std::vector<int> fillers_;
};

// Two connected TCP ends over loopback, both blocking; the caller owns both.
struct TcpPair {
  int near = -1;  // given to the connection under test
  int far = -1;   // the scripted peer
};
TcpPair ConnectedPair();

// A port of 127.0.0.1 nobody listens on now: bound once at the kernel's choice, then released.
std::uint16_t FreePort();

// A raw blocking client connected to 127.0.0.1:port; -1 when connect failed.
int ConnectRaw(std::uint16_t port);

// The port a socket is bound to.
std::uint16_t LocalPort(int fd);

// Writes every byte; fails the test otherwise.
void WriteAll(int fd, std::string_view bytes);

// Entries of /proc/self/fd.
std::size_t OpenDescriptorCount();
bool IsOpenDescriptor(int fd);

// Runs `action` and returns the NetError it throws; fails the test when it throws none.
NetError CaughtNetError(const std::function<void()>& action);

}  // namespace pelrion::transport::testing
