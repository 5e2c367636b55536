// The SMTP relay session under test: real stores (address lists) served by the test's main
// thread, a proxy port on 127.0.0.1 where each accepted connection runs one session on its own
// thread, and a raw client that sends its whole text and reads until the session closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/check_world_helpers.h"
#include "transport/listener_work.h"
#include "transport/net_error.h"
#include "transport/smtp_proxy_session.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport::testing {

inline constexpr char kInstallationId[] = "0123456789ABCDEF0123456789ABCDEF";
inline constexpr char kProxyHostName[] = "relayhost";

struct ProxyOutcome {
  std::string transcript;  // every byte the client received, in order
  NetError error = 0;      // what ended the session
};

class SmtpProxyWorld {
 public:
  SmtpProxyWorld();

  // The real server this listener stands for: 127.0.0.1:port under this TLS policy.
  void PointAt(std::uint16_t port, TlsMode mode = TlsMode::kNever, const std::string& ca = "");

  // One connection: the client sends `client_text` at once and reads until the session ends
  // and closes it (or, with `until`, until what it received ends so, and then closes itself);
  // meanwhile this thread serves the session's main-thread calls.
  ProxyOutcome Converse(const std::string& client_text, const std::string& until = "");

  // The port of a proxy that serves every connection on its own thread until the world goes;
  // for clients that talk step by step (real mail programs).
  std::uint16_t ServeInBackground();
  // Serves main-thread calls until `count` background sessions have ended.
  void WaitForSessions(int count);

  // Address lists as the program keeps them: 0 = Trusted Contacts, 1 = Black List.
  void AddContact(const std::string& address, int list_index);
  // LookupAddress(address, 3): 1 trusted, 2 black-listed, 0 unknown.
  std::uint32_t ListOf(const std::string& address);

  ~SmtpProxyWorld();

  CheckWorld world;
  ListenerWork listener;
  bool trust_recipients = true;
  SmtpProxyPorts ports;

 private:
  NetError RunOne(int fd);

  RawListener proxy_;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> sessions_;
  std::atomic<int> ended_{0};
  std::atomic<bool> closing_{false};
};

}  // namespace pelrion::transport::testing
