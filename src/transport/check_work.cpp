#include "transport/check_work.h"

#include "transport/listener_tls_settings.h"

namespace pelrion::transport {

CheckAccountWork CopyCheckAccount(const store::MailAccount& account,
                                  const store::Listener& pop3_listener,
                                  const platform::Registry& registry) {
  CheckAccountWork work;
  work.account = account;
  work.server_host = std::string(pop3_listener.server_host.Text());
  work.server_port = pop3_listener.server_port;
  const ListenerTlsSettings tls = ReadListenerTlsSettings(registry, pop3_listener.id);
  work.tls_mode = static_cast<std::uint32_t>(tls.mode);
  work.tls_fingerprint = tls.fingerprint;
  work.tls_ca_file = ReadTlsCaFile(registry);
  return work;
}

}  // namespace pelrion::transport
