#include "transport/smtp_proxy_helpers.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "store/address_calls.h"

namespace pelrion::transport::testing {

SmtpProxyWorld::SmtpProxyWorld()
    : ports{*world.stores.address_calls, [this] { return trust_recipients; }, kInstallationId,
            kProxyHostName, DecidePlainConversation, 20} {
  listener.server_host = "127.0.0.1";
  listener.protocol = store::ListenerProtocol::kSmtp;
}

SmtpProxyWorld::~SmtpProxyWorld() {
  if (acceptor_.joinable()) {
    closing_ = true;
    const int wake = ConnectRaw(proxy_.port());
    acceptor_.join();
    if (wake >= 0) ::close(wake);
  }
  std::lock_guard lock(mutex_);
  for (std::thread& session : sessions_) session.join();
}

void SmtpProxyWorld::PointAt(std::uint16_t port, TlsMode mode, const std::string& ca) {
  listener.server_port = port;
  listener.tls_mode = static_cast<std::uint32_t>(mode);
  listener.tls_ca_file = ca;
}

NetError SmtpProxyWorld::RunOne(int fd) {
  WorkerJob record;
  NetConnection client(20, 20, &record);
  client.Adopt(fd);
  record.SetSocket(fd, 0);
  try {
    RunSmtpProxySession(client, record, listener, ports);
  } catch (NetError error) {
    return error;
  }
}

ProxyOutcome SmtpProxyWorld::Converse(const std::string& client_text, const std::string& until) {
  ProxyOutcome outcome;
  std::atomic<bool> ended{false};
  std::thread session([&] {
    outcome.error = RunOne(proxy_.AcceptOne());
    ended = true;
  });
  std::thread client([&] {
    const int fd = ConnectRaw(proxy_.port());
    if (fd < 0) return;
    // The session may close before it read everything (QUIT, 421); that is no failure here.
    ::send(fd, client_text.data(), client_text.size(), MSG_NOSIGNAL);
    char buffer[4096];
    for (long got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
      outcome.transcript.append(buffer, static_cast<std::size_t>(got));
      if (!until.empty() && outcome.transcript.ends_with(until)) break;
    }
    ::close(fd);
  });
  world.main_thread().WaitServing([&] { return ended.load(); });
  session.join();
  client.join();
  return outcome;
}

std::uint16_t SmtpProxyWorld::ServeInBackground() {
  acceptor_ = std::thread([this] {
    for (;;) {
      const int fd = proxy_.AcceptOne();
      if (closing_) {
        ::close(fd);
        return;
      }
      std::lock_guard lock(mutex_);
      sessions_.emplace_back([this, fd] {
        RunOne(fd);
        ++ended_;
      });
    }
  });
  return proxy_.port();
}

void SmtpProxyWorld::WaitForSessions(int count) {
  world.main_thread().WaitServing([&] { return ended_.load() >= count; });
}

void SmtpProxyWorld::AddContact(const std::string& address, int list_index) {
  ASSERT_NE(world.stores.address_lists->AddContact("", {address}, list_index), nullptr);
}

std::uint32_t SmtpProxyWorld::ListOf(const std::string& address) {
  return world.stores.address_lists->LookupAddress(address, 3);
}

}  // namespace pelrion::transport::testing
