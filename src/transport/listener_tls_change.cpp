#include "transport/listener_tls_change.h"

namespace pelrion::transport {

bool ChangeListenerTls(platform::Registry& registry, store::ListenerControl& listeners,
                       std::uint32_t listener_id, const ListenerTlsSettings& wanted) {
  const ListenerTlsSettings stored = ReadListenerTlsSettings(registry, listener_id);
  if (wanted.mode == stored.mode && wanted.fingerprint == stored.fingerprint) return true;
  if (!WriteListenerTlsSettings(registry, listener_id, wanted)) return false;
  if (listeners.IsRunning(listener_id)) {
    listeners.StopListener(listener_id);
    listeners.StartListener(listener_id);
  }
  return true;
}

bool PinCertificate(platform::Registry& registry, store::ListenerControl& listeners,
                    std::uint32_t listener_id, const std::string& fingerprint) {
  ListenerTlsSettings wanted = ReadListenerTlsSettings(registry, listener_id);
  wanted.fingerprint = fingerprint;
  return ChangeListenerTls(registry, listeners, listener_id, wanted);
}

}  // namespace pelrion::transport
