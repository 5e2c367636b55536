// The running program's end of the control socket: the command-line client connects to
// <folder>/control and sends one request; the handler runs it on the main thread and answers
// whenever it is done (a command may wait for the mail cycle to become idle). Only processes
// of the same user get an answer: the folder is 0700, the socket 0600, and each peer's
// credentials are checked as well.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "platform/control_message.h"
#include "platform/main_thread.h"

namespace pelrion::platform {

inline constexpr std::string_view kControlSocketName = "control";

// The folder of the control socket, with a trailing '/': $XDG_RUNTIME_DIR/pelrion/ when
// XDG_RUNTIME_DIR names a folder of this user, else fallback_folder (the TempFolder); empty
// when that is empty too.
std::string ControlFolder(std::string_view fallback_folder);
// ControlFolder + "control".
std::string ControlSocketPath(std::string_view fallback_folder);

// True when the process at the other end of the connected Unix socket runs as this user.
bool PeerIsSameUser(int fd);

// Answers one request; may be called later, from the main thread, at most once counts.
using ControlResponder = std::function<void(ControlReply)>;
// Runs on the main thread for each request and must call respond once, now or later.
using ControlHandler = std::function<void(ControlRequest request, ControlResponder respond)>;

enum class ControlStartOutcome {
  kListening,
  kAnotherInstance,  // a live program listens on the socket already
  kFailed,           // see error()
};

class ControlServer {
 public:
  ControlServer(MainThread& main_thread, ControlHandler handler);
  ~ControlServer();  // Stop()
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Creates the folder (0700) and the socket (0600), replacing a socket no program listens
  // on any more, and starts accepting connections. Call once, on the main thread.
  ControlStartOutcome Start(std::string_view fallback_folder);

  // Stops accepting, drops the connections still waiting for an answer (their clients get
  // none), lets the answered ones finish sending (a reply given just before, such as the
  // answer to "stop", still arrives) and removes the socket. Serves the main-thread calls of the connections while it
  // waits for them, so call it on the main thread.
  void Stop();

  const std::string& socket_path() const { return socket_path_; }
  const std::string& error() const { return error_; }

 private:
  struct Shared;
  struct Connection {
    int fd = -1;
    std::thread thread;
    // The handler has given its reply; shared with the responder, which may outlive this.
    std::shared_ptr<std::atomic<bool>> answered = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> done{false};
  };

  bool Listen();
  void AcceptLoop();
  void Serve(Connection& connection);
  void ReapFinished();

  MainThread& main_thread_;
  ControlHandler handler_;
  std::shared_ptr<Shared> shared_;
  std::string socket_path_;
  std::string error_;
  int listen_fd_ = -1;
  // The socket file this server made: Stop removes it only if it is still that file.
  std::uint64_t socket_device_ = 0;
  std::uint64_t socket_inode_ = 0;
  int wake_fds_[2] = {-1, -1};  // a pipe: a byte on it ends the accept loop
  std::thread accept_thread_;
  std::list<Connection> connections_;  // touched by the accept thread, then by Stop
};

}  // namespace pelrion::platform
