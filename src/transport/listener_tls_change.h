// A change of the TLS settings of a listener's server, applied: stored in the registry, and
// the listener restarted when it runs, since its threads copied the settings when it started.
// Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "store/listener_control.h"
#include "transport/listener_tls_settings.h"

namespace pelrion::transport {

// Stores wanted when it differs from what is stored. False when the registry could not store
// it; the listener is then left as it was.
bool ChangeListenerTls(platform::Registry& registry, store::ListenerControl& listeners,
                       std::uint32_t listener_id, const ListenerTlsSettings& wanted);

// Trusts the certificate with this SHA-256 fingerprint for the listener's server from now on,
// whatever its verification says; the TLS mode is kept.
bool PinCertificate(platform::Registry& registry, store::ListenerControl& listeners,
                    std::uint32_t listener_id, const std::string& fingerprint);

}  // namespace pelrion::transport
