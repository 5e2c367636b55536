#pragma once
// The TLS policy of one listener's server and the extra CA file, as kept in the registry:
// "TlsMode" (a 4-byte number) and "TlsFingerprint" under the listener's settings key, and
// "TlsCaFile" under the program key.
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "transport/tls_policy.h"

namespace pelrion::transport {

struct ListenerTlsSettings {
  TlsMode mode = TlsMode::kAutomatic;
  std::string fingerprint;  // pinned SHA-256, or empty
};

ListenerTlsSettings ReadListenerTlsSettings(const platform::Registry& registry,
                                            std::uint32_t listener_id);
// False when the registry could not store it.
bool WriteListenerTlsSettings(platform::Registry& registry, std::uint32_t listener_id,
                              const ListenerTlsSettings& settings);
// The extra CA file, or empty.
std::string ReadTlsCaFile(const platform::Registry& registry);

}  // namespace pelrion::transport
