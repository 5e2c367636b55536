#include "transport/check_work.h"

#include "transport/listener_work.h"

namespace pelrion::transport {

CheckAccountWork CopyCheckAccount(const store::MailAccount& account,
                                  const store::Listener& pop3_listener,
                                  const platform::Registry& registry) {
  const ListenerWork listener = CopyListenerWork(pop3_listener, registry);
  CheckAccountWork work;
  work.account = account;
  work.server_host = listener.server_host;
  work.server_port = listener.server_port;
  work.tls_mode = listener.tls_mode;
  work.tls_fingerprint = listener.tls_fingerprint;
  work.tls_ca_file = listener.tls_ca_file;
  return work;
}

}  // namespace pelrion::transport
