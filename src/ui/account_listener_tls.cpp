#include "ui/account_listener_tls.h"

#include <QCoreApplication>

#include "transport/listener_tls_settings.h"

namespace pelrion::ui {

QString TlsModeText(transport::TlsMode mode) {
  switch (mode) {
    case transport::TlsMode::kAutomatic:
      return QCoreApplication::translate("AccountProperties", "Automatic");
    case transport::TlsMode::kUpgradeRequired:
      return QCoreApplication::translate("AccountProperties", "Require STLS/STARTTLS");
    case transport::TlsMode::kImplicit:
      return QCoreApplication::translate("AccountProperties", "Implicit TLS (whole connection)");
    case transport::TlsMode::kNever:
      return QCoreApplication::translate("AccountProperties", "Never (plain text)");
  }
  return {};
}

void ApplyListenerTls(platform::Registry& registry, store::ListenerControl& threads,
                      std::uint32_t listener_id, const ListenerTlsChoice& choice) {
  const transport::ListenerTlsSettings stored =
      transport::ReadListenerTlsSettings(registry, listener_id);
  transport::ListenerTlsSettings wanted = stored;
  wanted.mode = choice.mode;
  if (choice.forget_pin) wanted.fingerprint.clear();
  if (wanted.mode == stored.mode && wanted.fingerprint == stored.fingerprint) return;
  transport::WriteListenerTlsSettings(registry, listener_id, wanted);
  if (threads.IsRunning(listener_id)) {
    threads.StopListener(listener_id);
    threads.StartListener(listener_id);
  }
}

}  // namespace pelrion::ui
