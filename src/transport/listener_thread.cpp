#include "transport/listener_thread.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "transport/net_connection.h"
#include "transport/platform_error.h"
#include "transport/session_thread.h"

namespace pelrion::transport {

namespace {

constexpr std::uint16_t kTooManyOpenFiles = 10024;  // EMFILE and ENFILE
constexpr std::uint16_t kConnectionAborted = 10053;

// Rests for kAcceptPause, ending early when the listener is stopped.
void Pause(NetConnection& server) {
  constexpr std::chrono::milliseconds kStep{10};
  for (auto rested = std::chrono::milliseconds{0}; rested < kAcceptPause; rested += kStep) {
    server.StopCheck();
    std::this_thread::sleep_for(kStep);
  }
  server.StopCheck();
}

// The next accepted connection, resting over transient failures.
int AcceptNext(NetConnection& server, WorkerJob& job) {
  for (;;) {
    server.StopCheck();
    int fd = -1;
    try {
      fd = server.Accept();
    } catch (NetError error) {
      if (job.StopRequested() || !IsTransientAcceptError(error)) throw;
      Pause(server);
      continue;
    }
    if (job.StopRequested()) {
      close(fd);
      server.StopCheck();
    }
    return fd;
  }
}

}  // namespace

bool IsTransientAcceptError(NetError error) {
  if (NetOperationOf(error) != kNetAccept) return false;
  const std::uint16_t platform_error = PlatformErrorOf(error);
  return platform_error == kTooManyOpenFiles || platform_error == kConnectionAborted;
}

std::string ListenerFailureText(const ListenerWork& listener, NetError error) {
  return "Listener '" + ListenerDisplayName(listener) + "': " + ErrorText(error) + ".";
}

void ListenerThread(const ListenerRun& run) {
  pthread_setname_np(pthread_self(), kListenerThreadName);
  const ListenerWork& listener = *run.listener;
  NetConnection server(run.session_timeout_seconds, run.session_timeout_seconds, &run.job);
  try {
    server.Create();
    run.job.SetSocket(server.handle(), 0);
    // A damaged record's port is refused rather than cut to 16 bits (or left to the kernel).
    if (listener.local_port < 1 || listener.local_port > 65535) {
      throw MakeNetError(kNetBind, PlatformErrorFromErrno(EINVAL));
    }
    server.Bind(listener.local_address, static_cast<std::uint16_t>(listener.local_port));
    run.reports.ListenerListening(listener.id);
    server.Listen();
    for (;;) {
      const int client_fd = AcceptNext(server, run.job);
      if (run.connections.Full()) {
        close(client_fd);  // unserved: the client sees its connection close, no greeting
        continue;
      }
      StartSessionThread(client_fd, run.listener, run.runner, run.connections,
                         run.session_timeout_seconds);
    }
  } catch (NetError error) {
    server.Close(false);
    if (!run.job.StopRequested()) {
      run.reports.ListenerFailed(listener.id, ListenerFailureText(listener, error));
    }
  }
}

}  // namespace pelrion::transport
