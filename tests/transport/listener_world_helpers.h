// Listener threads over real stores: a recording report port, a small line-echo session, and
// blocking loopback clients with a read time-out so a fault fails a test instead of hanging it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "transport/check_world_helpers.h"
#include "transport/listener_reports.h"
#include "transport/listener_threads.h"

namespace pelrion::transport::testing {

class RecordedListenerReports : public ListenerReports {
 public:
  void ListenerListening(std::uint32_t listener_id) override;
  void ListenerFailed(std::uint32_t listener_id, const std::string& text) override;

  std::vector<std::uint32_t> Listening() const;
  std::vector<std::string> Failures() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> listening_;
  std::vector<std::string> failures_;
};

// The session every test listener runs: greets with kGreeting, then sends each line back
// until the client says "QUIT" (answered "+OK bye") or goes away.
inline constexpr std::string_view kGreeting = "+OK ready\r\n";
void EchoSession(NetConnection& client, WorkerJob& record, const ListenerWork& listener);

// Real stores, and listener threads started from their listener table.
class ListenerWorld {
 public:
  explicit ListenerWorld(SessionRunner runner = EchoSession);

  // A listener standing for a POP3 server on 127.0.0.1:server_port (SMTP when smtp is set),
  // with this local endpoint; its id.
  std::uint32_t AddListener(std::uint32_t local_address, std::uint16_t local_port,
                            std::uint16_t server_port = 110, bool smtp = false);
  // Serves the main thread until the listener has ended by itself.
  void WaitUntilEnded(std::uint32_t listener_id);

  CheckWorld world;
  RecordedListenerReports reports;
  ListenerThreads listeners;
};

// Blocking client of address:port with a 20 s read time-out; -1 when refused.
int ConnectTo(std::uint32_t address, std::uint16_t port);
// ConnectTo, tried again until the listener accepts (it binds and listens on its own thread).
int ConnectWhenListening(std::uint32_t address, std::uint16_t port);
// One line through CR LF; what came before the end of the stream or the time-out otherwise.
std::string ReadLineFrom(int fd);
// The process's threads that carry this name (/proc/self/task/*/comm).
std::size_t ThreadsNamed(std::string_view name);
// Waits (up to 20 s) until no thread carries this name; how many still do at the end. A
// thread is still counted for a moment after it has left its list.
std::size_t WaitUntilNoThreadNamed(std::string_view name);

}  // namespace pelrion::transport::testing
