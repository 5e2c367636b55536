// The local POP3 server under test: real stores (CheckWorld), accounts and Inbox messages
// filed as the program files them, a loopback listener that runs one session per connection
// on threads of its own, and raw clients that run while the test's main thread serves the
// store calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "transport/check_world_helpers.h"
#include "transport/listener_work.h"
#include "transport/net_error.h"
#include "transport/pop3_session_ports.h"
#include "transport/socket_helpers.h"
#include "transport/worker_job.h"

namespace pelrion::transport::testing {

class Pop3ServerWorld {
 public:
  Pop3ServerWorld();
  ~Pop3ServerWorld();
  Pop3ServerWorld(const Pop3ServerWorld&) = delete;
  Pop3ServerWorld& operator=(const Pop3ServerWorld&) = delete;

  // An account on the POP3 listener whose real server is 127.0.0.1:server_port (accounts
  // given the same port share that listener); its id. The listener the sessions serve is the
  // one of the first account added.
  std::uint32_t AddAccount(std::uint16_t server_port, const std::string& user,
                           const std::string& password);
  // Files the text as an Inbox message of the account, as a mail check would; its record.
  store::MessageRecord* FileInbox(std::uint32_t account_id, const std::string& text);
  // Files the texts so that their message numbers follow the order given (the Inbox is
  // served in id order, and ids are drawn at random).
  std::vector<store::MessageRecord*> FileInboxInOrder(std::uint32_t account_id,
                                                      const std::vector<std::string>& texts);
  // The texts of the account's messages still in the Inbox, in id order.
  std::vector<std::string> InboxTexts(std::uint32_t account_id);

  // Points the listener at another real server; sessions that start later use it.
  void SetRealServer(std::uint16_t port);
  // Starts accepting on 127.0.0.1 (port()) for the listener of the first account.
  void Serve();
  std::uint16_t port() const { return listener_.port(); }
  // Stops every running session as the listener's shutdown does (stop flag, sockets shut).
  void StopSessions();
  // Runs the client on a thread of its own while this thread serves the store calls.
  void RunClient(const std::function<void()>& client);
  // Blocks (serving) until `count` sessions have ended; their NetErrors in order of ending.
  std::vector<NetError> WaitForSessions(std::size_t count);

  CheckWorld world;
  Pop3SessionPorts ports;
  ListenerWork listener;  // change it only before Serve, or through SetRealServer
  std::atomic<int> login_delays{0};
  std::vector<std::string> fatal_stops;  // guarded by mutex_

 private:
  void AcceptLoop();
  void RunOne(int fd);

  RawListener listener_;
  std::mutex mutex_;
  std::vector<NetError> ended_;
  std::vector<WorkerJob*> running_;
  std::vector<std::thread> sessions_;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
};

// A raw client of the server with a receive time-out, so a missing reply fails rather than
// hangs.
class Pop3Client {
 public:
  explicit Pop3Client(std::uint16_t port);
  ~Pop3Client();
  Pop3Client(const Pop3Client&) = delete;
  Pop3Client& operator=(const Pop3Client&) = delete;

  // Up to `length` bytes (fewer when the server closes or falls silent).
  std::string Receive(std::size_t length);
  // Sends the line (CR LF added), then receives as many bytes as `expected` has.
  std::string Exchange(std::string_view line, std::string_view expected);
  // Whatever arrives until the server closes (or falls silent).
  std::string Rest();
  void Send(std::string_view bytes);

 private:
  int fd_ = -1;
};

// The message with its lines dot-stuffed and ".\r\n" after it: what RETR must send after +OK.
std::string Stuffed(std::string_view text);

}  // namespace pelrion::transport::testing
