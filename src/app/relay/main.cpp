// pelrion-relay: serves the SMTP relay session on 127.0.0.1:LISTEN, one thread per connection,
// in front of the SMTP server HOST:PORT, with the stores of a database folder ("trustrcpt" on,
// as by default). Runs until it is killed. For the relay benchmark.
//   pelrion-relay --data DIR --listen N --host HOST --port N
// Exit status: 1 when the port cannot be served, 2 usage.
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/stores.h"
#include "app/tool_stores.h"
#include "core/preferences.h"
#include "mailformat/protocol_text.h"
#include "platform/host_name.h"
#include "platform/main_thread.h"
#include "platform/random.h"
#include "platform/registry.h"
#include "store/installation_id.h"
#include "transport/net_connection.h"
#include "transport/process_setup.h"
#include "transport/smtp_proxy_session.h"

namespace pelrion::relaytool {
namespace {

constexpr int kTimeoutSeconds = 200;
constexpr std::uint32_t kLoopback = 0x7F000001;

void Serve(int fd, const transport::ListenerWork& listener,
           const transport::SmtpProxyPorts& ports) {
  platform::SeedRandForThread();
  transport::WorkerJob record;
  transport::NetConnection client(kTimeoutSeconds, kTimeoutSeconds, &record);
  client.Adopt(fd);
  record.SetSocket(fd, 0);
  try {
    transport::RunSmtpProxySession(client, record, listener, ports);
  } catch (transport::NetError) {
    // Every session ends so; nothing is reported.
  }
}

int Run(const std::map<std::string, std::string>& options) {
  transport::PrepareProcessForNetwork();
  const std::uint32_t listen_port = mailformat::ParseIndex(options.at("--listen"), 65535);
  const std::uint32_t server_port = mailformat::ParseIndex(options.at("--port"), 65535);
  if (listen_port == 0 || server_port == 0) {
    std::cerr << "pelrion-relay: ports are 1..65535\n";
    return 2;
  }
  std::string data = options.at("--data");
  if (data.back() != '/') data += '/';
  app::ToolStores tool(data);
  platform::PlainMainThread& main_thread = tool.main_thread;
  app::Stores& stores = tool.stores;
  const core::Preferences& preferences = tool.preferences;

  transport::ListenerWork listener;
  listener.server_host = options.at("--host");
  listener.server_port = server_port;
  listener.protocol = store::ListenerProtocol::kSmtp;
  listener.tls_mode = static_cast<std::uint32_t>(transport::TlsMode::kNever);
  // Nothing changes the preferences here, so the sessions read a copy.
  transport::SmtpProxyPorts ports{
      *stores.address_calls,
      [trust = preferences.trustrcpt != 0] { return trust; },
      store::LoadInstallationId(data + "db6.dat"), platform::HostName()};

  transport::WorkerJob job;
  transport::NetConnection socket(-1, -1, &job);
  try {
    socket.Create();
    socket.Bind(kLoopback, static_cast<std::uint16_t>(listen_port));
    socket.Listen();
  } catch (transport::NetError error) {
    std::cerr << "pelrion-relay: " << transport::ErrorText(error) << "\n";
    return 1;
  }
  std::thread acceptor([&] {
    for (;;) {
      try {
        const int fd = socket.Accept();
        std::thread(Serve, fd, std::cref(listener), std::cref(ports)).detach();
      } catch (transport::NetError) {
        // Out of descriptors or an aborted connection: wait a moment and go on.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  });
  std::cout << "ready" << std::endl;
  main_thread.RunUntil([] { return false; });
  acceptor.join();
  return 0;
}

}  // namespace
}  // namespace pelrion::relaytool

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  for (const char* name : {"--data", "--listen", "--host", "--port"}) {
    if (!options.contains(name) || argc % 2 == 0) {
      std::cerr << "usage: pelrion-relay --data DIR --listen N --host HOST --port N\n";
      return 2;
    }
  }
  return pelrion::relaytool::Run(options);
}
