#include "transport/net_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "transport/host_lookup.h"
#include "transport/platform_error.h"

namespace pelrion::transport {
namespace {

// One receive takes this much at most: a download of many lines costs one call per 64 KiB.
constexpr std::size_t kReceiveSize = 64 * 1024;
constexpr int kLingerSeconds = 15;

sockaddr_in IPv4Address(std::uint32_t address, std::uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = htonl(address);
  result.sin_port = htons(port);
  return result;
}

int Milliseconds(int seconds) {
  if (seconds < 0) return -1;
  return std::min(seconds, INT_MAX / 1000) * 1000;
}

// poll on one descriptor; an interrupted poll resumes with the time that is left. Returns what
// poll returns, errno set on -1.
int PollOne(int fd, short events, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  for (;;) {
    pollfd entry{fd, events, 0};
    const int outcome = poll(&entry, 1, timeout_ms);
    if (outcome >= 0 || errno != EINTR) return outcome;
    if (timeout_ms < 0) continue;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    timeout_ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
  }
}

void SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && !(flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

NetConnection::NetConnection(int read_timeout_seconds, int write_timeout_seconds, WorkerJob* owner)
    : read_timeout_(read_timeout_seconds), write_timeout_(write_timeout_seconds), owner_(owner) {}

NetConnection::~NetConnection() {
  Close(false);
}

void NetConnection::StopCheck() {
  if (owner_ && owner_->StopRequested()) throw MakeNetError(kNetStopped);
}

void NetConnection::Fail(std::uint16_t operation, int host_errno) {
  throw MakeNetError(operation, PlatformErrorFromErrno(host_errno));
}

void NetConnection::Create(int socket_type) {
  if (fd_ < 0) {
    EndTls();
    fd_ = socket(AF_INET, socket_type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) Fail(kNetCreate, errno);
  }
  lines_.Clear();
  StopCheck();
}

void NetConnection::Close(bool linger) {
  if (fd_ < 0) return;
  if (linger) {
    // Linux lingers in close also on a non-blocking socket.
    const ::linger option{1, kLingerSeconds};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  }
  // Out of the owner first: from here on the controller cannot shut down this number.
  if (owner_) owner_->ForgetSocket(fd_);
  EndTls();
  close(fd_);
  fd_ = -1;
}

void NetConnection::Adopt(int fd) {
  Close(false);
  EndTls();
  fd_ = fd;
  SetNonBlocking(fd_);
  lines_.Clear();
}

std::uint32_t NetConnection::ResolveHost(std::string_view host) {
  return transport::ResolveHost(host, [this] { StopCheck(); });
}

void NetConnection::Connect(std::uint32_t address, std::uint16_t port) {
  const sockaddr_in to = IPv4Address(address, port);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return;
  int error = errno;
  // An interrupted connect goes on in the background, like one in progress.
  if (error == EINPROGRESS || error == EINTR) {
    try {
      Wait(WaitFor::kWritable);
      socklen_t size = sizeof error;
      if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
      if (error == 0) return;
    } catch (NetError failure) {
      if (NetOperationOf(failure) != kNetWaitTimeout) throw;
      error = ETIMEDOUT;
    }
  }
  StopCheck();
  Fail(kNetConnect, error);
}

void NetConnection::ConnectTo(std::string_view host, std::uint16_t port) {
  Connect(ResolveHost(host), port);
}

void NetConnection::Wait(WaitFor direction) {
  const bool reading = direction == WaitFor::kReadable;
  if (reading && BufferedBelow()) {
    StopCheck();
    return;
  }
  const int timeout_ms = Milliseconds(reading ? read_timeout_ : write_timeout_);
  const int outcome = PollOne(fd_, reading ? POLLIN : POLLOUT, timeout_ms);
  const int poll_errno = errno;
  StopCheck();
  if (outcome == 0) throw MakeNetError(kNetWaitTimeout);
  if (outcome < 0) Fail(kNetWait, poll_errno);
}

namespace {

// A TLS step as the socket calls would have reported it, so that the waiting and the error
// reports above stay the same for both. A step that must write while reading (or the other
// way round) is rare enough to be waited for in the caller's direction.
long AsSocketResult(TlsStatus status, std::size_t count) {
  switch (status) {
    case TlsStatus::kDone:
      return static_cast<long>(count);
    case TlsStatus::kWantRead:
    case TlsStatus::kWantWrite:
      errno = EAGAIN;
      return -1;
    case TlsStatus::kClosed:
      return 0;
    case TlsStatus::kFailed:
      break;
  }
  errno = ECONNRESET;
  return -1;
}

}  // namespace

long NetConnection::RawReceive(void* buffer, std::size_t capacity) {
  if (tls_) {
    std::size_t received = 0;
    const TlsStatus status = tls_->Read(static_cast<char*>(buffer), capacity, received);
    return AsSocketResult(status, received);
  }
  return recv(fd_, buffer, capacity, MSG_DONTWAIT);
}

long NetConnection::RawSend(const void* bytes, std::size_t length) {
  if (tls_) {
    std::size_t sent = 0;
    const TlsStatus status = tls_->Write(static_cast<const char*>(bytes), length, sent);
    return AsSocketResult(status, sent);
  }
  return send(fd_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void NetConnection::StartTls(const TlsPeer& peer) {
  StopCheck();
  if (lines_.pending() != 0) throw MakeNetError(kNetTlsInjection);
  tls_fingerprint_.clear();
  tls_ = std::make_unique<TlsStream>(fd_, peer);
  for (;;) {
    const TlsStatus status = tls_->Handshake();
    tls_fingerprint_ = tls_->peer_fingerprint();
    if (status == TlsStatus::kDone) return;
    if (status == TlsStatus::kWantRead || status == TlsStatus::kWantWrite) {
      try {
        Wait(status == TlsStatus::kWantRead ? WaitFor::kReadable : WaitFor::kWritable);
        continue;
      } catch (NetError) {
        EndTls();
        throw;
      }
    }
    const NetError failure = tls_->failure();
    EndTls();
    // A stop shuts the socket down, which breaks the handshake: report the stop.
    StopCheck();
    throw failure;
  }
}

// Sending first saves a poll per piece while the peer keeps up; only a full socket is waited
// for (a stop shuts the socket down, so the send itself then fails and reports the stop).
std::size_t NetConnection::SendSome(const void* bytes, std::size_t length) {
  for (;;) {
    const long sent = RawSend(bytes, length);
    if (sent > 0) return static_cast<std::size_t>(sent);
    const int send_errno = errno;
    if (sent < 0 && send_errno == EINTR) continue;
    if (sent < 0 && send_errno == EAGAIN) {
      Wait(WaitFor::kWritable);
      continue;
    }
    StopCheck();  // a stop shuts the socket down: report the stop, not the broken send
    if (sent == 0) throw MakeNetError(kNetSendZero);
    Fail(kNetSend, send_errno);
  }
}

void NetConnection::SendAll(const void* bytes, std::size_t length) {
  const auto* next = static_cast<const char*>(bytes);
  while (length > 0) {
    const std::size_t sent = SendSome(next, length);
    next += sent;
    length -= sent;
  }
}

void NetConnection::SendText(std::string_view text) {
  StopCheck();
  SendAll(text.data(), text.size());
}

std::size_t NetConnection::ReceiveSome(void* buffer, std::size_t capacity) {
  for (;;) {
    const long received = RawReceive(buffer, capacity);
    if (received > 0) return static_cast<std::size_t>(received);
    const int receive_errno = errno;
    if (received < 0 && receive_errno == EINTR) continue;
    if (received < 0 && receive_errno == EAGAIN) {
      Wait(WaitFor::kReadable);
      continue;
    }
    // A stop shuts the socket down, which ends the stream: report the stop, not the end.
    StopCheck();
    if (received == 0) throw MakeNetError(kNetClosedByPeer);
    Fail(kNetReceive, receive_errno);
  }
}

// ReceiveSome already waits when nothing has arrived; trying first saves a poll per receive
// while a download streams in.
std::size_t NetConnection::ReceiveWait(void* buffer, std::size_t capacity) {
  return ReceiveSome(buffer, capacity);
}

std::string_view NetConnection::ReadLine() {
  StopCheck();
  for (;;) {
    if (const auto line = lines_.TakeLine()) {
      if (line_limit_ != 0 && line->size() > line_limit_) throw MakeNetError(kNetLineTooLong);
      return *line;
    }
    // The line, once its LF comes, is longer than what is buffered now.
    if (line_limit_ != 0 && lines_.pending() >= line_limit_) throw MakeNetError(kNetLineTooLong);
    const std::span<char> tail = lines_.PrepareAppend(kReceiveSize);
    lines_.Commit(ReceiveWait(tail.data(), tail.size()));
  }
}

void NetConnection::Bind(std::uint32_t address, std::uint16_t port) {
  // Sessions that closed with linger leave TIME_WAIT connections on the port; they must not
  // keep a restarted listener off it. A live listener on the port still makes bind fail.
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in at = IPv4Address(address, port);
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) Fail(kNetBind, errno);
}

void NetConnection::Listen() {
  if (listen(fd_, SOMAXCONN) != 0) Fail(kNetListen, errno);
}

int NetConnection::Accept() {
  for (;;) {
    const int outcome = PollOne(fd_, POLLIN, -1);
    const int poll_errno = errno;
    StopCheck();
    if (outcome < 0) Fail(kNetAccept, poll_errno);
    sockaddr_storage from{};
    socklen_t size = sizeof from;
    const int fd =
        accept4(fd_, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      // Nothing there after all, or a client that gave up before it was taken: wait again.
      if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED) continue;
      Fail(kNetAccept, errno);
    }
    if (from.ss_family != AF_INET || size != sizeof(sockaddr_in)) {
      close(fd);
      throw MakeNetError(kNetAccept);
    }
    return fd;
  }
}

}  // namespace pelrion::transport
