#include "ui/account_listener_tls.h"

#include <QCoreApplication>

#include "transport/listener_tls_change.h"

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
  transport::ListenerTlsSettings wanted =
      transport::ReadListenerTlsSettings(registry, listener_id);
  wanted.mode = choice.mode;
  if (choice.forget_pin) wanted.fingerprint.clear();
  transport::ChangeListenerTls(registry, threads, listener_id, wanted);
}

}  // namespace pelrion::ui
