#include "transport/socket_helpers.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelrion::transport::testing {
namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(kLoopback);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

RawListener::RawListener(int backlog) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = LoopbackAddress(0);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd_, backlog) != 0) {
    ADD_FAILURE() << "cannot listen on loopback: " << errno;
    return;
  }
  port_ = LocalPort(fd_);
}

RawListener::~RawListener() {
  if (fd_ >= 0) close(fd_);
}

int RawListener::AcceptOne() {
  return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

std::uint16_t LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

int ConnectRaw(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = LoopbackAddress(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TcpPair ConnectedPair() {
  RawListener listener;
  TcpPair pair;
  pair.near = ConnectRaw(listener.port());
  pair.far = listener.AcceptOne();
  EXPECT_GE(pair.near, 0);
  EXPECT_GE(pair.far, 0);
  return pair;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (written <= 0) {
      ADD_FAILURE() << "peer write failed: " << errno;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  DIR* folder = opendir("/proc/self/fd");
  if (!folder) return 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(folder);
  return count - 1;  // the listing's own descriptor
}

bool IsOpenDescriptor(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

NetError CaughtNetError(const std::function<void()>& action) {
  try {
    action();
  } catch (NetError error) {
    return error;
  }
  ADD_FAILURE() << "no NetError was thrown";
  return 0;
}

UnansweredListener::UnansweredListener() {
  for (int i = 0; i < 8; ++i) {
    const int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(filler);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(kLoopback);
    to.sin_port = htons(full_.port());
    connect(filler, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd entry{filler, POLLOUT, 0};
    if (poll(&entry, 1, 200) == 0) return;  // this one hangs: the queue is full
  }
  ADD_FAILURE() << "the accept queue never filled";
}

UnansweredListener::~UnansweredListener() {
  for (int filler : fillers_) close(filler);
}

std::uint16_t FreePort() {
  RawListener probe;
  return probe.port();
}

}  // namespace pelrion::transport::testing
