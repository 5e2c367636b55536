#include "platform/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace pelrion::platform {
namespace {

// A client that stops sending in the middle of its request loses its connection.
constexpr int kReceiveTimeoutSeconds = 10;
// Connections beyond this many are closed at once: a flood must not cost a thread each.
constexpr std::size_t kMaxConnections = 32;

std::string WithSlash(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

// A folder of this user that we may create files in; a symbolic link to one counts only
// when follow_link is set.
bool IsOwnFolder(const std::string& path, bool follow_link) {
  struct stat info{};
  const int found = follow_link ? stat(path.c_str(), &info) : lstat(path.c_str(), &info);
  return found == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         access(path.c_str(), W_OK | X_OK) == 0;
}

// Creates the folder when missing and makes it private; false when it is not ours.
bool MakePrivateFolder(std::string folder) {
  // Without the trailing '/', which would make lstat and chmod follow a link.
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsOwnFolder(folder, false) && chmod(folder.c_str(), 0700) == 0;
}

std::optional<sockaddr_un> SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// True when a program accepts connections on the socket at address.
bool SomeoneListens(const sockaddr_un& address) {
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool live =
      connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(probe);
  return live;
}

}  // namespace

std::string ControlFolder(std::string_view fallback_folder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsOwnFolder(runtime, true)) {
    return WithSlash(runtime) + "pelrion/";
  }
  return fallback_folder.empty() ? std::string() : WithSlash(fallback_folder);
}

std::string ControlSocketPath(std::string_view fallback_folder) {
  return ControlFolder(fallback_folder) + std::string(kControlSocketName);
}

bool PeerIsSameUser(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
         size == sizeof credentials && credentials.uid == geteuid();
}

// What the connection threads, the responders and Stop share; responders may outlive the
// server.
struct ControlServer::Shared {
  std::mutex mutex;
  std::condition_variable changed;  // a reply came, or the server is stopping
  bool stopping = false;
};

ControlServer::ControlServer(MainThread& main_thread, ControlHandler handler)
    : main_thread_(main_thread), handler_(std::move(handler)), shared_(std::make_shared<Shared>()) {}

ControlServer::~ControlServer() { Stop(); }

ControlStartOutcome ControlServer::Start(std::string_view fallback_folder) {
  const std::string folder = ControlFolder(fallback_folder);
  if (folder.empty() || folder[0] != '/') {
    error_ = "There is no folder for the control socket.";
    return ControlStartOutcome::kFailed;
  }
  if (!MakePrivateFolder(folder)) {
    error_ = "The folder " + folder + " cannot be made private to this user.";
    return ControlStartOutcome::kFailed;
  }
  socket_path_ = folder + std::string(kControlSocketName);
  const std::optional<sockaddr_un> address = SocketAddress(socket_path_);
  if (!address) {
    error_ = "The control socket path " + socket_path_ + " is too long.";
    return ControlStartOutcome::kFailed;
  }
  struct stat existing{};
  if (lstat(socket_path_.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      error_ = socket_path_ + " exists and is not a socket.";
      return ControlStartOutcome::kFailed;
    }
    if (SomeoneListens(*address)) return ControlStartOutcome::kAnotherInstance;
    unlink(socket_path_.c_str());  // left behind by a program that has ended
  }
  if (!Listen()) return ControlStartOutcome::kFailed;
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  return ControlStartOutcome::kListening;
}

bool ControlServer::Listen() {
  const sockaddr_un address = *SocketAddress(socket_path_);
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool bound =
      listen_fd_ >= 0 &&
      bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  struct stat made{};
  const bool ok = bound && chmod(socket_path_.c_str(), 0600) == 0 &&
                  lstat(socket_path_.c_str(), &made) == 0 && listen(listen_fd_, 16) == 0 &&
                  pipe2(wake_fds_, O_CLOEXEC) == 0;
  if (!ok) {
    error_ = "The control socket " + socket_path_ + " cannot be created: " +
             std::strerror(errno) + ".";
    if (bound) unlink(socket_path_.c_str());
    if (listen_fd_ >= 0) close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  socket_device_ = made.st_dev;
  socket_inode_ = made.st_ino;
  return true;
}

void ControlServer::AcceptLoop() {
  for (;;) {
    pollfd watched[2] = {{listen_fd_, POLLIN, 0}, {wake_fds_[0], POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) continue;  // EINTR
    if (watched[1].revents != 0) return;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno != EINTR && errno != ECONNABORTED) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // out of descriptors
      }
      continue;
    }
    ReapFinished();
    if (connections_.size() >= kMaxConnections) {
      close(fd);
      continue;
    }
    const timeval timeout{kReceiveTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    // A client that stops reading cannot hold a connection thread (and Stop) for long.
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    Connection& connection = connections_.emplace_back();
    connection.fd = fd;
    connection.thread = std::thread([this, &connection] {
      Serve(connection);
      // The client learns at once that nothing more comes; the descriptor itself is closed
      // by whoever joins this thread, so Stop never touches a reused number.
      shutdown(connection.fd, SHUT_RDWR);
      connection.done.store(true, std::memory_order_release);
    });
  }
}

void ControlServer::Serve(Connection& connection) {
  const int fd = connection.fd;
  if (!PeerIsSameUser(fd)) return;  // another user's process gets no answer at all
  ControlRequest request;
  switch (ReadControlRequest(fd, request)) {
    case ControlReadOutcome::kRead:
      break;
    case ControlReadOutcome::kTooLarge:
      SendAll(fd, EncodeControlReply({2, "", "The command is too long.\n"}));
      return;
    case ControlReadOutcome::kBroken:
      return;
  }
  auto reply = std::make_shared<std::optional<ControlReply>>();
  // The responder may be called after this connection is gone (a late answer): it holds
  // only what it shares.
  ControlResponder respond = [shared = shared_, reply,
                              answered = connection.answered](ControlReply answer) {
    const std::lock_guard lock(shared->mutex);
    if (!*reply) *reply = std::move(answer);
    answered->store(true, std::memory_order_release);
    shared->changed.notify_all();
  };
  {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->stopping) return;
  }
  try {
    main_thread_.Call([&] { handler_(std::move(request), respond); });
  } catch (const std::exception& failure) {
    respond({1, "", std::string(failure.what()) + "\n"});
  }
  std::unique_lock lock(shared_->mutex);
  // An answer given before the server stopped is still sent (the "stop" command's own).
  shared_->changed.wait(lock, [&] { return reply->has_value() || shared_->stopping; });
  if (!*reply) return;
  const std::string bytes = EncodeControlReply(**reply);
  lock.unlock();
  SendAll(fd, bytes);
}

void ControlServer::ReapFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (!it->done.load(std::memory_order_acquire)) {
      ++it;
      continue;
    }
    it->thread.join();
    close(it->fd);
    it = connections_.erase(it);
  }
}

void ControlServer::Stop() {
  if (listen_fd_ < 0) return;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->changed.notify_all();
  }
  const char wake = 1;
  while (write(wake_fds_[1], &wake, 1) < 0 && errno == EINTR) {
  }
  accept_thread_.join();
  // Connections still waiting for their answer get none; answered ones finish sending.
  for (Connection& connection : connections_) {
    if (!connection.answered->load(std::memory_order_acquire)) shutdown(connection.fd, SHUT_RDWR);
  }
  main_thread_.WaitServing([this] {
    for (const Connection& connection : connections_) {
      if (!connection.done.load(std::memory_order_acquire)) return false;
    }
    return true;
  });
  ReapFinished();
  close(listen_fd_);
  close(wake_fds_[0]);
  close(wake_fds_[1]);
  listen_fd_ = wake_fds_[0] = wake_fds_[1] = -1;
  struct stat current{};
  if (lstat(socket_path_.c_str(), &current) == 0 && current.st_dev == socket_device_ &&
      current.st_ino == socket_inode_) {
    unlink(socket_path_.c_str());
  }
}

}  // namespace pelrion::platform
