#include "transport/send_tls_copy.h"

#include "transport/listener_tls_settings.h"

namespace pelrion::transport {

void CopySendTls(validation::SendWork& work, const platform::Registry& registry) {
  const std::string ca_file = ReadTlsCaFile(registry);
  for (validation::SendGroupWork& group : work.groups) {
    const ListenerTlsSettings settings = ReadListenerTlsSettings(registry, group.smtp_listener_id);
    group.tls_mode = static_cast<std::uint32_t>(settings.mode);
    group.tls_fingerprint = settings.fingerprint;
    group.tls_ca_file = ca_file;
  }
}

}  // namespace pelrion::transport
