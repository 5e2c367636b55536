#include "transport/listener_tls_settings.h"

#include "store/listener_settings_key.h"

namespace pelrion::transport {

ListenerTlsSettings ReadListenerTlsSettings(const platform::Registry& registry,
                                            std::uint32_t listener_id) {
  const std::string key = store::ListenerSettingsKey(listener_id);
  ListenerTlsSettings settings;
  settings.mode = TlsModeFromNumber(registry.GetNumber(key, "TlsMode"));
  settings.fingerprint = registry.GetString(key, "TlsFingerprint").value_or("");
  return settings;
}

bool WriteListenerTlsSettings(platform::Registry& registry, std::uint32_t listener_id,
                              const ListenerTlsSettings& settings) {
  const std::string key = store::ListenerSettingsKey(listener_id);
  if (!registry.SetNumber(key, "TlsMode", static_cast<std::uint32_t>(settings.mode))) return false;
  if (settings.fingerprint.empty()) return registry.DeleteValue(key, "TlsFingerprint");
  return registry.SetString(key, "TlsFingerprint", settings.fingerprint);
}

std::string ReadTlsCaFile(const platform::Registry& registry) {
  return registry.GetString(platform::kProgramKey, "TlsCaFile").value_or("");
}

}  // namespace pelrion::transport
